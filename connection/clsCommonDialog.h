// The common dialogs (open, save, colour, font, print setup) and the help
// call, shaped like a common-dialog control: set properties, call one
// Show... operation, read the results back from the same properties.  The
// dialogs go through the installed user interface; help opens an HTML page
// with the configured command.
#ifndef KX4DATA_CONNECTION_CLSCOMMONDIALOG_H_
#define KX4DATA_CONNECTION_CLSCOMMONDIALOG_H_

#include <cstdint>
#include <memory>
#include <string>

namespace kx4 {

class UserInterface;

// Stands in for the standard font object ShowFont reads and returns: the
// dialog fills only the name, the whole-point size and the character set.
struct StdFont {
  std::string Name;
  double Size = 0;  // points
  int16_t Charset = 0;
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool Strikethrough = false;
  int16_t Weight = 0;
};

// Help commands ShowHelp understands.
inline constexpr int32_t HELP_CONTEXT = 1;
inline constexpr int32_t HELP_QUIT = 2;
inline constexpr int32_t HELP_CONTEXTPOPUP = 8;
inline constexpr int32_t HELP_KEY = 257;
inline constexpr int32_t HELP_PARTIALKEY = 261;

class clsCommonDialog {
 public:
  // Font flag: start the dialog from the given font.
  static constexpr int32_t CF_INITTOLOGFONTSTRUCT = 0x40;

  // 1 open, 2 save, 3 colour, 4 font, 5 printer, 6 help.
  int16_t Action() const { return action_; }
  // The last dialog's return: 0 when cancelled or failed.
  int32_t APIReturn() const { return api_return_; }
  // Why the last dialog returned 0 (0 for a plain cancel).
  int32_t ExtendedError() const { return extended_error_; }

  int32_t ParentHwnd() const { return parent_hwnd_; }
  void SetParentHwnd(int32_t plngParentHwnd) { parent_hwnd_ = plngParentHwnd; }
  int32_t Flags() const { return flags_; }
  void SetFlags(const int32_t& vNewValue) { flags_ = vNewValue; }
  const std::string& FileName() const { return file_name_; }
  void SetFileName(const std::string& vNewValue) { file_name_ = vNewValue; }
  const std::string& FileTitle() const { return file_title_; }
  void SetFileTitle(const std::string& vNewValue) { file_title_ = vNewValue; }
  // "description|pattern|description|pattern..."
  const std::string& Filter() const { return filter_; }
  void SetFilter(const std::string& vNewValue) { filter_ = vNewValue; }
  int16_t FilterIndex() const { return filter_index_; }
  void SetFilterIndex(const int16_t& vNewValue) { filter_index_ = vNewValue; }
  // The last 4 characters of the chosen filter's pattern.
  const std::string& FilterExt() const { return filter_ext_; }
  const std::string& InitDir() const { return init_dir_; }
  void SetInitDir(const std::string& vNewValue) { init_dir_ = vNewValue; }
  const std::string& DialogTitle() const { return dialog_title_; }
  void SetDialogTitle(const std::string& vNewValue) { dialog_title_ = vNewValue; }
  const std::string& DefaultExt() const { return default_ext_; }
  void SetDefaultExt(const std::string& vNewValue) { default_ext_ = vNewValue; }
  // The name buffers hold 2 x MaxFileSize bytes (512 when not above 0).
  int32_t MaxFileSize() const { return max_file_size_; }
  void SetMaxFileSize(const int32_t& vNewValue) { max_file_size_ = vNewValue; }
  int32_t Color() const { return color_; }
  void SetColor(const int32_t& vNewValue) { color_ = vNewValue; }
  int32_t hdc() const { return hdc_; }
  void Sethdc(const int32_t& vNewValue) { hdc_ = vNewValue; }
  int32_t FromPage() const { return from_page_; }
  void SetFromPage(const int32_t& vNewValue) { from_page_ = vNewValue; }
  int32_t ToPage() const { return to_page_; }
  void SetToPage(const int32_t& vNewValue) { to_page_ = vNewValue; }
  int32_t Min() const { return min_; }
  void SetMin(const int32_t& vNewValue) { min_ = vNewValue; }
  int32_t Max() const { return max_; }
  void SetMax(const int32_t& vNewValue) { max_ = vNewValue; }
  int32_t Copies() const { return copies_; }
  void SetCopies(const int32_t& vNewValue) { copies_ = vNewValue; }
  int16_t PrinterDefault() const { return printer_default_; }
  void SetPrinterDefault(const int16_t& vNewValue) { printer_default_ = vNewValue; }
  const std::string& HelpFile() const { return help_file_; }
  void SetHelpFile(const std::string& vNewValue) { help_file_ = vNewValue; }
  int32_t HelpCommand() const { return help_command_; }
  void SetHelpCommand(const int32_t& vNewValue) { help_command_ = vNewValue; }
  // A context number as decimal text.
  const std::string& HelpContext() const { return help_context_; }
  void SetHelpContext(const std::string& vNewValue) { help_context_ = vNewValue; }
  const std::string& HelpKey() const { return help_key_; }
  void SetHelpKey(const std::string& vNewValue) { help_key_ = vNewValue; }
  const std::shared_ptr<void>& Object() const { return object_; }
  void SetObject(const std::shared_ptr<void>& vNewValue) { object_ = vNewValue; }

  // True when the user chose something.  Throw RuntimeError, before any
  // dialog shows, for an initial FileName, FileTitle or InitDir longer than
  // their buffer less two bytes, a returned FilterIndex beyond the pairs of
  // Filter, or a page or copy value outside 16 bits.
  bool ShowOpen();
  bool ShowSave();
  bool ShowColor();
  // `pinsFont` null: a new font is returned through it when the user
  // confirms.
  bool ShowFont(std::shared_ptr<StdFont>& pinsFont);
  bool ShowPrinter();
  // Opens the page of HelpFile that HelpCommand and HelpContext select with
  // $KX4_HELP_COMMAND (default xdg-open): <file without .hlp>/topic-<n>.html
  // for the context commands, <file without .hlp>/index.html otherwise.
  // Throws RuntimeError for a context command with a non-numeric context.
  void ShowHelp(int32_t vlnghWnd);

 private:
  bool ShowFileDialog(int16_t mode);
  void Begin(int16_t action);
  bool Finish(int32_t api_return, int32_t extended_error);
  // A request to the user interface with the owner and the flags; Action
  // set, the last return and extended error cleared.
  template <typename Request>
  Request NewRequest(int16_t action);
  // Shows it; false, with the extended error kept, when the dialog returns 0.
  template <typename Request>
  bool Ask(Request& request, int32_t (UserInterface::*show)(Request&));

  int16_t action_ = 0;
  int32_t api_return_ = 0;
  int32_t extended_error_ = 0;
  int32_t parent_hwnd_ = 0;
  int32_t flags_ = 0;
  std::string file_name_;
  std::string file_title_;
  std::string filter_;
  int16_t filter_index_ = 0;
  std::string filter_ext_;
  std::string init_dir_;
  std::string dialog_title_;
  std::string default_ext_;
  int32_t max_file_size_ = 0;
  int32_t color_ = 0;
  int32_t hdc_ = 0;
  int32_t from_page_ = 0;
  int32_t to_page_ = 0;
  int32_t min_ = 0;
  int32_t max_ = 0;
  int32_t copies_ = 0;
  int16_t printer_default_ = 0;
  std::string help_file_;
  int32_t help_command_ = 0;
  std::string help_context_;
  std::string help_key_;
  std::shared_ptr<void> object_;
};

}  // namespace kx4

#endif  // KX4DATA_CONNECTION_CLSCOMMONDIALOG_H_
