// The product's help: where its file lives, the application help file set
// when the library loads, and opening one topic of it.
#ifndef KX4DATA_CONNECTION_MODHELP_H_
#define KX4DATA_CONNECTION_MODHELP_H_

#include <cstdint>
#include <string>

namespace kx4 {

inline constexpr const char* kMainHelpFile = "kx4main.hlp";

// The help folder beside the library's folder: for a library in /opt/kestrix/lib,
// HelpFilePath("kx4main.hlp") is /opt/kestrix/help/kx4main.hlp.
std::string HelpFilePath(const std::string& name);
// The same for a library in `library_folder` (without a trailing "/"): the
// folder is kept up to its last "/", so /common gives /help/<name>.
std::string HelpFilePathIn(const std::string& library_folder, const std::string& name);

// The library's application help file, HelpFilePath(kMainHelpFile) from
// start-up on.
std::string ApplicationHelpFile();

// Opens context topic `topic` of `help_file` (the application help file
// when empty), owned by window `owner`.  The outcome is not looked at.
void ShowHelpTopic(int32_t topic, int32_t owner, const std::string& help_file);

}  // namespace kx4

#endif  // KX4DATA_CONNECTION_MODHELP_H_
