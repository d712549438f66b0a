#include "ui/fltk/MessageBoxDialog.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>

#include <algorithm>
#include <vector>

#include <kx4data/UserInterface.h>

#include "ui/fltk/Widgets.h"

namespace kx4::fltk {
namespace {

constexpr int kMargin = 12;
constexpr int kIconSize = 32;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kButtonGap = 6;
constexpr int kMaxTextWidth = 420;

// Windows' code pages and ours use CR LF between lines; FLTK wants LF.
std::string WithoutCarriageReturns(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
      continue;
    out += text[i];
  }
  return out;
}

// A round sign with a letter, in the colours of the classic icons.
void DrawIcon(Fl_Box& box, MessageIcon icon) {
  struct Look {
    Fl_Color fill, ink;
    const char* sign;
  };
  static const Look kLooks[] = {
      {FL_BACKGROUND_COLOR, FL_BLACK, ""},  // kNone
      {FL_RED, FL_WHITE, "X"},              // kStop
      {FL_BLUE, FL_WHITE, "?"},             // kQuestion
      {FL_YELLOW, FL_BLACK, "!"},           // kExclamation
      {FL_BLUE, FL_WHITE, "i"},             // kInformation
  };
  const Look& look = kLooks[static_cast<int>(icon)];
  box.box(FL_OVAL_BOX);
  box.labelfont(FL_HELVETICA_BOLD);
  box.labelsize(20);
  box.color(look.fill);
  box.labelcolor(look.ink);
  box.label(look.sign);
  if (icon == MessageIcon::kNone)
    box.hide();
}

}  // namespace

MessageBoxLayout DescribeMessageBox(int32_t style) {
  MessageBoxLayout layout;
  switch (style & 0x70) {
    case vbCritical:
      layout.icon = MessageIcon::kStop;
      break;
    case vbQuestion:
      layout.icon = MessageIcon::kQuestion;
      break;
    case vbExclamation:
      layout.icon = MessageIcon::kExclamation;
      break;
    case vbInformation:
      layout.icon = MessageIcon::kInformation;
      break;
    default:
      break;
  }
  const MessageButton ok{"OK", vbOK}, cancel{"Cancel", vbCancel}, abort{"&Abort", vbAbort},
      retry{"&Retry", vbRetry}, ignore{"&Ignore", vbIgnore}, yes{"&Yes", vbYes}, no{"&No", vbNo};
  switch (style & 0x7) {
    case vbOKCancel:
      layout.buttons = {ok, cancel};
      layout.escape_answer = vbCancel;
      break;
    case vbAbortRetryIgnore:
      layout.buttons = {abort, retry, ignore};
      break;
    case vbYesNoCancel:
      layout.buttons = {yes, no, cancel};
      layout.escape_answer = vbCancel;
      break;
    case vbYesNo:
      layout.buttons = {yes, no};
      break;
    case vbRetryCancel:
      layout.buttons = {retry, cancel};
      layout.escape_answer = vbCancel;
      break;
    default:
      layout.buttons = {ok};
      layout.escape_answer = vbOK;
      break;
  }
  const size_t wanted = (style & vbDefaultButton3) ? 2 : (style & vbDefaultButton2) ? 1 : 0;
  layout.default_button = wanted < layout.buttons.size() ? wanted : 0;
  return layout;
}

int32_t RunMessageBox(const std::string& text, const std::string& caption, int32_t style) {
  const MessageBoxLayout layout = DescribeMessageBox(style);
  const std::string body = WithoutCarriageReturns(text);

  int text_w = 0, text_h = 0;
  MeasureText(body, kMaxTextWidth, text_w, text_h);
  text_h = std::max(text_h, kIconSize);
  const int icon_space = layout.icon == MessageIcon::kNone ? 0 : kIconSize + kMargin;
  const int n = static_cast<int>(layout.buttons.size());
  const int buttons_w = n * kButtonWidth + (n - 1) * kButtonGap;
  const int w = std::max(kMargin + icon_space + text_w + kMargin, buttons_w + 2 * kMargin);
  const int h = kMargin + text_h + kMargin + kButtonHeight + kMargin;

  Fl_Double_Window window(w, h);
  window.copy_label(caption.c_str());
  // The window owns and deletes the widgets created inside it.
  DrawIcon(*new Fl_Box(kMargin, kMargin, kIconSize, kIconSize), layout.icon);
  new PlainText(kMargin + icon_space, kMargin, text_w, text_h, body,
                FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);

  // Each button and the window's own callback (Escape, the close box) set
  // the answer they stand for; 0 leaves the box open, as a box without a
  // Cancel or a lone OK button stays open on Escape.
  struct Binding {
    int32_t* answer;
    int32_t value;
  };
  auto choose = [](Fl_Widget*, void* data) {
    auto* binding = static_cast<Binding*>(data);
    if (binding->value != 0)
      *binding->answer = binding->value;
  };
  int32_t answer = 0;
  std::vector<Binding> bindings;
  bindings.reserve(layout.buttons.size() + 1);
  std::vector<Fl_Button*> buttons;
  int x = (w - buttons_w) / 2;
  for (const MessageButton& choice : layout.buttons) {
    auto* button =
        new Fl_Button(x, h - kMargin - kButtonHeight, kButtonWidth, kButtonHeight, choice.caption);
    button->labelsize(kFontSize);
    bindings.push_back({&answer, choice.answer});
    button->callback(choose, &bindings.back());
    buttons.push_back(button);
    x += kButtonWidth + kButtonGap;
  }
  buttons[layout.default_button]->shortcut(FL_Enter);
  window.end();
  bindings.push_back({&answer, layout.escape_answer});
  window.callback(choose, &bindings.back());

  ShowModal(window);
  buttons[layout.default_button]->take_focus();
  RunModal(window, [&] { return answer != 0; });
  return answer;
}

}  // namespace kx4::fltk
