#include "ui/fltk/LoginView.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Return_Button.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include "ui/fltk/Widgets.h"

namespace kx4::fltk {
namespace {

using Kind = frmLogin::Kind;

// The view whose window previews every key; one modal login per thread.
thread_local LoginView* t_active = nullptr;

int Px(int32_t twips) {
  return (twips + frmLogin::kTwipsPerPixel / 2) / frmLogin::kTwipsPerPixel;
}

// A text box that asks the form about every typed character first and
// selects its text on focus when the form says so.
class FormInput : public Fl_Input {
 public:
  FormInput(frmLogin& form, frmLogin::Control control)
      : Fl_Input(0, 0, 1, 1), form_(form), control_(control) {}

  int handle(int event) override {
    if (event == FL_KEYBOARD) {
      const int key = KeyAscii();
      if (key != 0 && form_.KeyPressed(control_, key) == 0) {
        fl_beep();
        return 1;
      }
    }
    const int used = Fl_Input::handle(event);
    if (event == FL_FOCUS) {
      if (form_.Get(control_).selects_on_focus)
        position(size(), 0);
      else
        position(size());
    }
    return used;
  }

 private:
  // The character a key types, as the form's key filter sees it: 0 for keys
  // that type none and for Enter, Escape and Tab, which belong to the
  // dialog's default and cancel buttons and to the focus.
  static int KeyAscii() {
    switch (Fl::event_key()) {
      case FL_BackSpace:
        return 8;
      case FL_Enter:
      case FL_KP_Enter:
      case FL_Escape:
      case FL_Tab:
        return 0;
      default:
        return Fl::event_length() > 0 ? static_cast<unsigned char>(Fl::event_text()[0]) : 0;
    }
  }

  frmLogin& form_;
  frmLogin::Control control_;
};

// The advanced settings frame: an etched border with its caption on the
// top line.
class Frame : public Fl_Group {
 public:
  Frame() : Fl_Group(0, 0, 1, 1) {}
  // A group moves the focus on an Enter nobody inside it wants; here Enter
  // belongs to the dialog's default button.
  int handle(int event) override {
    if (event == FL_SHORTCUT && (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter))
      return 0;
    return Fl_Group::handle(event);
  }
  void draw() override {
    const int caption_middle = y() + kFontSize / 2;
    fl_push_clip(x(), y(), w(), h());
    fl_color(color());
    fl_rectf(x(), y(), w(), h());
    fl_pop_clip();
    draw_box(FL_ENGRAVED_FRAME, x(), caption_middle, w(), h() - (caption_middle - y()), color());
    fl_font(FL_HELVETICA, kFontSize);
    const int caption_w = static_cast<int>(fl_width(caption_.c_str())) + 4;
    fl_color(color());
    fl_rectf(x() + 6, y(), caption_w, kFontSize + 2);
    fl_color(FL_FOREGROUND_COLOR);
    fl_draw(caption_.c_str(), x() + 8, y(), caption_w, kFontSize + 2, FL_ALIGN_LEFT, nullptr, 0);
    draw_children();
  }
  void SetCaption(const std::string& caption) {
    if (caption != caption_) {
      caption_ = caption;
      redraw();
    }
  }

 private:
  std::string caption_;
};

// Shift, Ctrl and Alt as they stand once the key of this event has moved:
// the server reports the state from before the event.
int32_t Modifiers(int event) {
  const int state = Fl::event_state();
  int32_t shift = ((state & FL_SHIFT) ? frmLogin::kShiftMask : 0) |
                  ((state & FL_CTRL) ? frmLogin::kCtrlMask : 0) |
                  ((state & FL_ALT) ? frmLogin::kAltMask : 0);
  int32_t moved = 0;
  switch (Fl::event_key()) {
    case FL_Shift_L:
    case FL_Shift_R:
      moved = frmLogin::kShiftMask;
      break;
    case FL_Control_L:
    case FL_Control_R:
      moved = frmLogin::kCtrlMask;
      break;
    case FL_Alt_L:
    case FL_Alt_R:
      moved = frmLogin::kAltMask;
      break;
    default:
      break;
  }
  return event == FL_KEYDOWN ? (shift | moved) : (shift & ~moved);
}

// A 16 x 16 icon of its own: a database drum on a blue tile.
void SetIcon(Fl_Window& window) {
  static unsigned char pixels[16 * 16 * 3];
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      unsigned char* p = pixels + (y * 16 + x) * 3;
      const bool drum = x >= 4 && x <= 11 && y >= 3 && y <= 12;
      const bool rim = drum && (y == 3 || y == 7 || y == 12);
      p[0] = rim ? 0x20 : drum ? 0xF0 : 0x00;
      p[1] = rim ? 0x20 : drum ? 0xF0 : 0x40;
      p[2] = rim ? 0x20 : drum ? 0xF0 : 0xA0;
    }
  }
  const Fl_RGB_Image icon(pixels, 16, 16, 3);
  window.icon(&icon);
}

}  // namespace

LoginView::LoginView(frmLogin& form) : form_(form) {
  const int width = Px(frmLogin::kClientWidth);
  window_ = std::make_unique<Fl_Double_Window>(width, Px(form.ClientHeight()), frmLogin::kTitle);
  // Created in tab order: FLTK moves the focus in the order of creation,
  // through the frame when its first control comes.
  Frame* frame = nullptr;
  auto frame_group = [&frame] {
    if (!frame) {
      frame = new Frame();
      frame->resizable(nullptr);
      frame->end();
    }
    return frame;
  };
  for (int32_t i = 0; i < frmLogin::kControlCount; ++i) {
    const auto control = static_cast<frmLogin::Control>(i);
    const frmLogin::ControlState& state = form.Get(control);
    if (state.in_frame)
      frame_group()->begin();
    Fl_Widget* widget = nullptr;
    switch (state.kind) {
      case Kind::kTextBox: {
        auto* input = new FormInput(form, control);
        if (state.masked)
          input->type(FL_SECRET_INPUT);
        if (state.max_length > 0)
          input->maximum_size(state.max_length);
        input->textsize(kFontSize);
        input->when(FL_WHEN_CHANGED);
        widget = input;
        break;
      }
      case Kind::kCheckBox:
        widget = new Fl_Check_Button(0, 0, 1, 1);
        break;
      case Kind::kButton:
        if (state.is_default) {
          widget = new Fl_Return_Button(0, 0, 1, 1);
        } else {
          widget = new Fl_Button(0, 0, 1, 1);
          if (state.is_cancel)
            static_cast<Fl_Button*>(widget)->shortcut(FL_Escape);
        }
        break;
      case Kind::kLabel:
        widget = new Fl_Box(0, 0, 1, 1);
        widget->align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE);
        break;
      case Kind::kFrame:
        widget = frame_group();
        break;
    }
    widget->labelsize(kFontSize);
    if (state.kind != Kind::kLabel && state.kind != Kind::kFrame)
      widget->callback(OnWidget, this);
    if (state.in_frame)
      frame->end();
    widgets_[i] = widget;
  }
  window_->end();
  window_->resizable(nullptr);
  window_->callback(OnWindow, this);
  SetIcon(*window_);
  Sync();
}

LoginView::~LoginView() = default;

void LoginView::Run() {
  LoginView* const outer = t_active;
  const Fl_Event_Dispatch outer_dispatch = Fl::event_dispatch();
  t_active = this;
  Fl::event_dispatch(Dispatch);

  ShowModal(*window_);
  form_.SetWindowHandle(static_cast<int32_t>(fl_xid(window_.get())));
  Control(frmLogin::txtServer)->take_focus();
  if (std::optional<frmLogin::Control> first = form_.Activated())
    Control(*first)->take_focus();
  RunModal(*window_, [this] { return form_.Closed(); });
  // Hidden behind the form's back (the window system closed it): a close.
  if (!form_.Closed())
    form_.Unload();

  Fl::event_dispatch(outer_dispatch);
  t_active = outer;
}

int LoginView::Dispatch(int event, Fl_Window* window) {
  LoginView* view = t_active;
  if (view && window == view->window_.get()) {
    if (event == FL_KEYDOWN)
      view->form_.KeyDown(Modifiers(event));
    else if (event == FL_KEYUP)
      view->form_.KeyUp(Modifiers(event));
  }
  return Fl::handle_(event, window);
}

void LoginView::OnWidget(Fl_Widget* widget, void* data) {
  auto* view = static_cast<LoginView*>(data);
  for (int32_t i = 0; i < frmLogin::kControlCount; ++i) {
    if (view->widgets_[i] != widget)
      continue;
    const auto control = static_cast<frmLogin::Control>(i);
    if (view->form_.Get(control).kind == Kind::kTextBox)
      view->form_.Change(control, static_cast<Fl_Input*>(widget)->value());
    else
      view->form_.Click(control);
    break;
  }
  if (!view->form_.Closed())
    view->Sync();
}

void LoginView::OnWindow(Fl_Widget*, void* data) {
  static_cast<LoginView*>(data)->form_.Unload();
}

void LoginView::Sync() {
  const frmLogin::ControlState& frame_state = form_.Get(frmLogin::fraAdvanced);
  // The frame first: moving it moves the controls inside it.
  std::array<int32_t, frmLogin::kControlCount> order{};
  order[0] = frmLogin::fraAdvanced;
  for (int32_t i = 0, n = 1; i < frmLogin::kControlCount; ++i) {
    if (i != frmLogin::fraAdvanced)
      order[n++] = i;
  }
  for (int32_t i : order) {
    const auto control = static_cast<frmLogin::Control>(i);
    const frmLogin::ControlState& state = form_.Get(control);
    Fl_Widget* widget = Control(control);
    const int32_t left = state.left + (state.in_frame ? frame_state.left : 0);
    const int32_t top = state.top + (state.in_frame ? frame_state.top : 0);
    if (widget->x() != Px(left) || widget->y() != Px(top) || widget->w() != Px(state.width) ||
        widget->h() != Px(state.height))
      widget->resize(Px(left), Px(top), Px(state.width), Px(state.height));
    if (state.kind == Kind::kFrame) {
      static_cast<Frame*>(widget)->SetCaption(state.caption);
    } else if (!state.caption.empty()) {
      const std::string label = LabelText(state.caption);
      if (!widget->label() || label != widget->label())
        widget->copy_label(label.c_str());
    }
    if (state.kind == Kind::kTextBox) {
      auto* input = static_cast<Fl_Input*>(widget);
      if (state.text != input->value())
        input->value(state.text.c_str());
    } else if (state.kind == Kind::kCheckBox) {
      static_cast<Fl_Check_Button*>(widget)->value(state.checked ? 1 : 0);
    }
    if (state.visible && !widget->visible())
      widget->show();
    else if (!state.visible && widget->visible())
      widget->hide();
  }
  const int width = Px(frmLogin::kClientWidth);
  const int height = Px(form_.ClientHeight());
  // A fixed-size window whose height follows the layout.
  window_->size_range(width, height, width, height);
  if (window_->w() != width || window_->h() != height)
    window_->size(width, height);
  window_->redraw();
}

}  // namespace kx4::fltk
