#include "ui/fltk/CommonDialogs.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Color_Chooser.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Spinner.H>
#include <FL/fl_draw.H>

#include <strings.h>
#include <algorithm>
#include <cmath>

#include "ui/fltk/Widgets.h"

namespace kx4::fltk {
namespace {

constexpr int32_t OFN_OVERWRITEPROMPT = 0x2;
constexpr int32_t CF_INITTOLOGFONTSTRUCT = 0x40;
constexpr int kMargin = 10;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kRowHeight = 22;
constexpr int kDefaultPoints = 10;

// OK and Cancel at the bottom right of `window`; `*chosen` becomes 1 or -1.
void AddOkCancel(Fl_Window& window, int* chosen) {
  const int y = window.h() - kMargin - kButtonHeight;
  auto* ok = new Fl_Return_Button(window.w() - 2 * (kButtonWidth + kMargin), y, kButtonWidth,
                                  kButtonHeight, "OK");
  auto* cancel =
      new Fl_Button(window.w() - kButtonWidth - kMargin, y, kButtonWidth, kButtonHeight, "Cancel");
  ok->labelsize(kFontSize);
  cancel->labelsize(kFontSize);
  ok->callback([](Fl_Widget*, void* data) { *static_cast<int*>(data) = 1; }, chosen);
  cancel->callback([](Fl_Widget*, void* data) { *static_cast<int*>(data) = -1; }, chosen);
  cancel->shortcut(FL_Escape);
  // The close box cancels.
  window.callback([](Fl_Widget*, void* data) { *static_cast<int*>(data) = -1; }, chosen);
}

// Runs `window` until OK or Cancel; true for OK.
bool Confirmed(Fl_Window& window, int& chosen) {
  window.end();
  RunModal(window, [&chosen] { return chosen != 0; });
  return chosen > 0;
}

Fl_Spinner* AddSpinner(int x, int y, int w, const char* label, int low, int high, int value) {
  auto* spinner = new Fl_Spinner(x, y, w, kRowHeight, label);
  spinner->labelsize(kFontSize);
  spinner->textsize(kFontSize);
  spinner->range(low, high);
  spinner->step(1);
  spinner->value(std::clamp(value, low, high));
  return spinner;
}

// The sample text of the font dialog, drawn in the chosen face and size.
class FontSample : public Fl_Box {
 public:
  FontSample(int x, int y, int w, int h) : Fl_Box(x, y, w, h) { box(FL_DOWN_BOX); }
  void Set(Fl_Font face, int size) {
    face_ = face;
    size_ = size;
    redraw();
  }
  void draw() override {
    draw_box();
    fl_push_clip(x() + 2, y() + 2, w() - 4, h() - 4);
    fl_font(face_, size_);
    fl_color(FL_FOREGROUND_COLOR);
    fl_draw("AaBbYyZz 0123", x(), y(), w(), h(), FL_ALIGN_CENTER, nullptr, 0);
    fl_pop_clip();
  }

 private:
  Fl_Font face_ = FL_HELVETICA;
  int size_ = kDefaultPoints;
};

}  // namespace

std::string ChooserFilter(const std::vector<std::pair<std::string, std::string>>& filters) {
  std::string text;
  for (const auto& [description, pattern] : filters) {
    std::string chooser = pattern;
    if (chooser.find(';') != std::string::npos) {
      std::replace(chooser.begin(), chooser.end(), ';', ',');
      chooser = "{" + chooser + "}";
    }
    if (!text.empty())
      text += '\n';
    text += description + '\t' + chooser;
  }
  return text;
}

std::string WithDefaultExtension(const std::string& name, const std::string& extension) {
  if (extension.empty() || name.empty())
    return name;
  const size_t slash = name.rfind('/');
  const std::string file = slash == std::string::npos ? name : name.substr(slash + 1);
  if (file.empty() || file.find('.') != std::string::npos)
    return name;
  return name + "." + extension;
}

int32_t RunFileDialog(FileDialogRequest& request) {
  Fl_Native_File_Chooser chooser(request.save ? Fl_Native_File_Chooser::BROWSE_SAVE_FILE
                                              : Fl_Native_File_Chooser::BROWSE_FILE);
  if (!request.title.empty())
    chooser.title(request.title.c_str());
  const std::string filter = ChooserFilter(request.filters);
  if (!filter.empty()) {
    chooser.filter(filter.c_str());
    if (request.filter_index >= 1)
      chooser.filter_value(request.filter_index - 1);
  }
  if (!request.initial_folder.empty())
    chooser.directory(request.initial_folder.c_str());
  if (!request.file_name.empty())
    chooser.preset_file(request.file_name.c_str());
  if (request.save && (request.flags & OFN_OVERWRITEPROMPT) != 0)
    chooser.options(Fl_Native_File_Chooser::SAVEAS_CONFIRM);

  switch (chooser.show()) {
    case 0:
      break;
    case 1:
      request.extended_error = 0;  // cancelled
      return 0;
    default:
      request.extended_error = kCdErrDialogFailure;
      return 0;
  }
  const char* chosen = chooser.filename();
  request.file_name = request.save
                          ? WithDefaultExtension(chosen ? chosen : "", request.default_extension)
                          : std::string(chosen ? chosen : "");
  if (!filter.empty())
    request.filter_index = chooser.filter_value() + 1;
  return 1;
}

int32_t RunColorDialog(ColorDialogRequest& request) {
  uchar r = request.color & 0xFF;
  uchar g = (request.color >> 8) & 0xFF;
  uchar b = (request.color >> 16) & 0xFF;
  if (!fl_color_chooser("Color", r, g, b)) {
    request.extended_error = 0;
    return 0;
  }
  request.color = r | (g << 8) | (b << 16);
  return 1;
}

int32_t RunFontDialog(FontDialogRequest& request) {
  const Fl_Font faces = Fl::set_fonts(nullptr);
  Fl_Double_Window window(380, 300, "Font");
  auto* list = new Fl_Hold_Browser(kMargin, kMargin + 16, 230, 170, "Font:");
  list->align(FL_ALIGN_TOP_LEFT);
  list->labelsize(kFontSize);
  list->textsize(kFontSize);
  std::vector<Fl_Font> plain;
  for (Fl_Font face = 0; face < faces; ++face) {
    int attributes = 0;
    const char* name = Fl::get_font_name(face, &attributes);
    if (attributes == 0 && name) {
      plain.push_back(face);
      list->add(name);
    }
  }
  const int initial_points = (request.flags & CF_INITTOLOGFONTSTRUCT) && request.height > 0
                                 ? static_cast<int>(std::lround(request.height * 72.0 / 96.0))
                                 : kDefaultPoints;
  Fl_Spinner* size = AddSpinner(250, kMargin + 16, 60, nullptr, 1, 999, initial_points);
  auto* size_label = new Fl_Box(250, kMargin, 60, 16, "Size:");
  size_label->labelsize(kFontSize);
  size_label->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  auto* sample = new FontSample(kMargin, 200, 360, 50);

  int line = 1;
  if ((request.flags & CF_INITTOLOGFONTSTRUCT) && !request.face_name.empty()) {
    for (size_t i = 0; i < plain.size(); ++i) {
      if (strcasecmp(list->text(static_cast<int>(i) + 1), request.face_name.c_str()) == 0)
        line = static_cast<int>(i) + 1;
    }
  }
  if (!plain.empty()) {
    list->value(line);
    sample->Set(plain[line - 1], initial_points);
  }
  struct Parts {
    Fl_Hold_Browser* list;
    Fl_Spinner* size;
    FontSample* sample;
    std::vector<Fl_Font>* plain;
  } parts{list, size, sample, &plain};
  auto update = [](Fl_Widget*, void* data) {
    auto* p = static_cast<Parts*>(data);
    if (p->list->value() > 0)
      p->sample->Set((*p->plain)[p->list->value() - 1], static_cast<int>(p->size->value()));
  };
  list->callback(update, &parts);
  size->callback(update, &parts);

  int chosen = 0;
  AddOkCancel(window, &chosen);
  if (!Confirmed(window, chosen) || list->value() <= 0) {
    request.extended_error = 0;
    return 0;
  }
  request.face_name = list->text(list->value());
  request.point_size_tenths = static_cast<int32_t>(size->value()) * 10;
  return 1;
}

int32_t RunPrintDialog(PrintDialogRequest& request) {
  const bool ranged = request.max_page > request.min_page;
  const int low = ranged ? request.min_page : 1;
  const int high = ranged ? request.max_page : 9999;
  Fl_Double_Window window(260, 150, "Print Setup");
  Fl_Spinner* from = AddSpinner(90, kMargin, 70, "From page:", low, high, request.from_page);
  Fl_Spinner* to = AddSpinner(90, kMargin + kRowHeight + 6, 70, "To page:", low, high,
                              request.to_page > 0 ? request.to_page : high);
  Fl_Spinner* copies =
      AddSpinner(90, kMargin + 2 * (kRowHeight + 6), 70, "Copies:", 1, 999, request.copies);
  int chosen = 0;
  AddOkCancel(window, &chosen);
  if (!Confirmed(window, chosen)) {
    request.extended_error = 0;
    return 0;
  }
  request.from_page = static_cast<int16_t>(from->value());
  request.to_page = static_cast<int16_t>(std::max(from->value(), to->value()));
  request.copies = static_cast<int16_t>(copies->value());
  return 1;
}

}  // namespace kx4::fltk
