// What libkx4data.so exports.  The library is built with hidden symbols, so
// only classes and functions marked KX4DATA_API reach a host; KX4DATA_LOCAL
// keeps a private member of an exported class out of the export table.
#ifndef KX4DATA_EXPORT_H_
#define KX4DATA_EXPORT_H_

#if defined(__GNUC__) || defined(__clang__)
#define KX4DATA_API __attribute__((visibility("default")))
#define KX4DATA_LOCAL __attribute__((visibility("hidden")))
#else
#define KX4DATA_API
#define KX4DATA_LOCAL
#endif

#endif  // KX4DATA_EXPORT_H_
