#include "ui/fltk/Widgets.h"

#include <FL/fl_draw.H>

namespace kx4::fltk {

PlainText::PlainText(int x, int y, int w, int h, const std::string& text, Fl_Align align)
    : Fl_Box(x, y, w, h), text_(text), text_align_(align) {}

void PlainText::draw() {
  draw_box();
  fl_font(FL_HELVETICA, kFontSize);
  fl_color(active_r() ? FL_FOREGROUND_COLOR : fl_inactive(FL_FOREGROUND_COLOR));
  fl_draw(text_.c_str(), x(), y(), w(), h(), text_align_ | FL_ALIGN_CLIP, nullptr, 0);
}

std::string LabelText(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '@')
      out += '@';
  }
  return out;
}

void MeasureText(const std::string& text, int max_width, int& w, int& h) {
  fl_font(FL_HELVETICA, kFontSize);
  w = max_width;
  h = 0;
  fl_measure(text.c_str(), w, h, 0);
}

void ShowModal(Fl_Window& window) {
  int sx = 0, sy = 0, sw = 0, sh = 0;
  Fl::screen_xywh(sx, sy, sw, sh);
  window.position(sx + (sw - window.w()) / 2, sy + (sh - window.h()) / 2);
  window.set_modal();
  window.show();
}

}  // namespace kx4::fltk
