// The open, save, colour, font and print-setup dialogs of the desktop
// interface.  FLTK has no font or print-setup dialog, so those two are the
// module's own small windows.
#ifndef KX4DATA_UI_FLTK_COMMONDIALOGS_H_
#define KX4DATA_UI_FLTK_COMMONDIALOGS_H_

#include <string>
#include <utility>
#include <vector>

#include <kx4data/UserInterface.h>

namespace kx4::fltk {

int32_t RunFileDialog(FileDialogRequest& request);
int32_t RunColorDialog(ColorDialogRequest& request);
int32_t RunFontDialog(FontDialogRequest& request);
int32_t RunPrintDialog(PrintDialogRequest& request);

// FLTK's filter text: "description\tpattern" lines, a pattern list such as
// "*.txt;*.log" becoming "{*.txt,*.log}".
std::string ChooserFilter(const std::vector<std::pair<std::string, std::string>>& filters);
// `name` with "." and `extension` appended when its file part has none.
std::string WithDefaultExtension(const std::string& name, const std::string& extension);

}  // namespace kx4::fltk

#endif  // KX4DATA_UI_FLTK_COMMONDIALOGS_H_
