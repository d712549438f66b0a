// Pieces every window of the module uses.
#ifndef KX4DATA_UI_FLTK_WIDGETS_H_
#define KX4DATA_UI_FLTK_WIDGETS_H_

#include <FL/Fl_Box.H>
#include <FL/Fl_Window.H>

#include <string>

namespace kx4::fltk {

// Dialog text: about 8 points at 96 dpi, like the classic dialog font.
inline constexpr int kFontSize = 10;

// A box that draws its text as it is: "@" and "&" have no special meaning.
// The text is copied.
class PlainText : public Fl_Box {
 public:
  PlainText(int x, int y, int w, int h, const std::string& text, Fl_Align align);
  void draw() override;
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
  Fl_Align text_align_;
};

// Text in a widget label, where "@" starts a symbol: doubled, it stands for
// itself.
std::string LabelText(const std::string& text);

// The size `text` needs at kFontSize when wrapped at `max_width`.
void MeasureText(const std::string& text, int max_width, int& w, int& h);

void CenterOnScreen(Fl_Window& window);

// Shows `window` modally and, centred on the screen, raised.
void ShowModal(Fl_Window& window);
// Runs the event loop until `done()` holds or the window is hidden; hides
// it afterwards.
template <typename Done>
void RunModal(Fl_Window& window, Done done);

}  // namespace kx4::fltk

#include <FL/Fl.H>

namespace kx4::fltk {

template <typename Done>
void RunModal(Fl_Window& window, Done done) {
  if (!window.shown())
    ShowModal(window);
  while (!done() && window.shown())
    Fl::wait();
  window.hide();
  // Let the server unmap it before anything else is drawn or read.
  Fl::flush();
}

}  // namespace kx4::fltk

#endif  // KX4DATA_UI_FLTK_WIDGETS_H_
