// What the library and its desktop module agree on: the module's file, which
// lives beside the library, and the one function it exports.  Constants
// only, so the module depends on nothing of the library's insides.
#ifndef KX4DATA_UI_DESKTOPMODULE_H_
#define KX4DATA_UI_DESKTOPMODULE_H_

namespace kx4 {

class UserInterface;

inline constexpr const char* kDesktopModuleFile = "libkx4fltk.so";
inline constexpr const char* kDesktopFactorySymbol = "kx4_create_desktop_user_interface";

// Returns a new interface owned by the caller, or null with `why` pointing at
// a static text (no display, for instance).
using DesktopFactory = UserInterface* (*)(const char** why);

}  // namespace kx4

#endif  // KX4DATA_UI_DESKTOPMODULE_H_
