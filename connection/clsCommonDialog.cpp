#include "connection/clsCommonDialog.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <vector>

#include <kx4data/RuntimeError.h>
#include <kx4data/UserInterface.h>
#include <kx4data/Variant.h>

#include "session/Text.h"
#include "variant/Utf8.h"

extern char** environ;

namespace kx4 {
namespace {

constexpr int16_t kActionOpen = 1;
constexpr int16_t kActionSave = 2;
constexpr int16_t kActionColor = 3;
constexpr int16_t kActionFont = 4;
constexpr int16_t kActionPrinter = 5;
constexpr int16_t kActionHelp = 6;

constexpr size_t kDefaultNameBuffer = 512;
constexpr int32_t kColorWhite = 0xFFFFFF;
constexpr size_t kFaceNameBytes = 32;  // with its terminating zero
constexpr double kScreenTwipsPerPixelY = 15;

std::vector<std::string> SplitAtBars(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t bar = text.find('|', start);
    parts.push_back(text.substr(start, bar == std::string::npos ? bar : bar - start));
    if (bar == std::string::npos)
      return parts;
    start = bar + 1;
  }
}

// An initial text must leave two bytes of its buffer free.
void RequireFits(const std::string& text, size_t buffer, const char* property) {
  if (text.size() + 2 > buffer)
    throw RuntimeError(kErrInvalidProcedureCall,
                       std::string(property) + " is longer than its buffer of " +
                           std::to_string(buffer) + " bytes allows",
                       "clsCommonDialog");
}

int16_t To16Bits(int32_t value, const char* property) {
  if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max())
    throw RuntimeError(kErrOverflow, std::string(property) + " does not fit 16 bits",
                       "clsCommonDialog");
  return static_cast<int16_t>(value);
}

// The file's name after its last "/", as a file title is.
std::string TitleOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// At most 31 bytes, never cutting a character in two.
std::string FaceName(const std::string& name) {
  size_t end = 0;
  for (size_t i = 0; i < name.size();) {
    NextChar(name, i);
    if (i > kFaceNameBytes - 1)
      break;
    end = i;
  }
  return name.substr(0, end);
}

// The HTML page that stands for a topic of a help file: "x/kx4main.hlp" and
// topic 4 give "x/kx4main/topic-4.html"; without a topic, its index page.
std::string HelpPage(const std::string& help_file, const std::optional<int32_t>& topic) {
  std::string stem = help_file;
  const size_t slash = stem.rfind('/');
  const size_t dot = stem.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
    stem.erase(dot);
  return stem + "/" + (topic ? "topic-" + std::to_string(*topic) : std::string("index")) + ".html";
}

// Runs $KX4_HELP_COMMAND (a shell command line, default xdg-open) with the
// page as its last argument, in the background so that the viewer outlives
// nothing of ours.  The page travels as a positional argument, never as
// shell text.  Non-zero when the command could be started.
int32_t OpenHelpPage(const std::string& page) {
  const char* configured = std::getenv("KX4_HELP_COMMAND");
  const std::string command =
      configured && *configured ? std::string(configured) : std::string("xdg-open");
  const std::string script = command + " \"$1\" >/dev/null 2>&1 &";
  std::vector<std::string> args = {"sh", "-c", script, "sh", page};
  std::vector<char*> argv;
  for (std::string& arg : args)
    argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (::posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv.data(), environ) != 0)
    return 0;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR)
      return 0;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 1 : 0;
}

}  // namespace

void clsCommonDialog::Begin(int16_t action) {
  action_ = action;
  api_return_ = 0;
  extended_error_ = 0;
}

bool clsCommonDialog::Finish(int32_t api_return, int32_t extended_error) {
  api_return_ = api_return;
  if (api_return == 0)
    extended_error_ = extended_error;
  return api_return != 0;
}

template <typename Request>
Request clsCommonDialog::NewRequest(int16_t action) {
  Begin(action);
  Request request;
  request.owner = parent_hwnd_;
  request.flags = flags_;
  return request;
}

template <typename Request>
bool clsCommonDialog::Ask(Request& request, int32_t (UserInterface::*show)(Request&)) {
  const std::shared_ptr<UserInterface> ui = CurrentUserInterface();
  const int32_t result = ((*ui).*show)(request);
  return Finish(result, request.extended_error);
}

bool clsCommonDialog::ShowOpen() {
  return ShowFileDialog(kActionOpen);
}

bool clsCommonDialog::ShowSave() {
  return ShowFileDialog(kActionSave);
}

bool clsCommonDialog::ShowFileDialog(int16_t mode) {
  FileDialogRequest request = NewRequest<FileDialogRequest>(mode);
  const size_t buffer =
      max_file_size_ > 0 ? 2 * static_cast<size_t>(max_file_size_) : kDefaultNameBuffer;
  RequireFits(file_name_, buffer, "FileName");
  RequireFits(file_title_, buffer, "FileTitle");
  RequireFits(init_dir_, buffer, "InitDir");

  request.save = mode == kActionSave;
  const std::vector<std::string> parts = SplitAtBars(filter_);
  if (!filter_.empty()) {
    for (size_t i = 0; i + 1 < parts.size(); i += 2)
      request.filters.emplace_back(parts[i], parts[i + 1]);
  }
  request.filter_index = filter_index_;
  request.file_name = file_name_;
  request.initial_folder = init_dir_;
  request.title = dialog_title_;
  request.default_extension = default_ext_;
  request.name_buffer = buffer;

  if (!Ask(request, &UserInterface::ShowFileDialog))
    return false;
  // The dialog writes into a buffer of that size; a longer name is the
  // dialog's failure, never a cut name.
  if (request.file_name.size() >= buffer) {
    Finish(0, kFnErrBufferTooSmall);
    return false;
  }

  std::string ext;
  if (request.filter_index >= 1) {
    const size_t element = 2 * static_cast<size_t>(request.filter_index) - 1;
    if (filter_.empty() || element >= parts.size())
      throw RuntimeError(
          kErrSubscriptOutOfRange,
          "FilterIndex " + std::to_string(request.filter_index) + " is beyond the pairs of Filter",
          "clsCommonDialog");
    ext = RightChars(parts[element], 4);
  }
  file_name_ = TrimSpaces(request.file_name);
  file_title_ = TrimSpaces(TitleOf(request.file_name));
  filter_index_ = To16Bits(request.filter_index, "FilterIndex");
  filter_ext_ = ext;
  return true;
}

bool clsCommonDialog::ShowColor() {
  auto request = NewRequest<ColorDialogRequest>(kActionColor);
  request.color = color_;
  request.custom_colors.fill(kColorWhite);
  if (!Ask(request, &UserInterface::ShowColorDialog))
    return false;
  color_ = request.color;
  return true;
}

bool clsCommonDialog::ShowFont(std::shared_ptr<StdFont>& pinsFont) {
  auto request = NewRequest<FontDialogRequest>(kActionFont);
  if (pinsFont) {
    request.flags |= CF_INITTOLOGFONTSTRUCT;
    request.face_name = FaceName(pinsFont->Name);
    request.charset = static_cast<uint8_t>(pinsFont->Charset);
    request.height =
        static_cast<int32_t>(std::nearbyint(pinsFont->Size * (1440 / kScreenTwipsPerPixelY) / 72));
  }
  if (!Ask(request, &UserInterface::ShowFontDialog))
    return false;
  if (!pinsFont)
    pinsFont = std::make_shared<StdFont>();
  pinsFont->Charset = request.charset;
  pinsFont->Name = request.face_name;
  pinsFont->Size = request.point_size_tenths / 10;
  return true;
}

bool clsCommonDialog::ShowPrinter() {
  auto request = NewRequest<PrintDialogRequest>(kActionPrinter);
  request.hdc = hdc_;
  request.from_page = To16Bits(from_page_, "FromPage");
  request.to_page = To16Bits(to_page_, "ToPage");
  request.min_page = To16Bits(min_, "Min");
  request.max_page = To16Bits(max_, "Max");
  request.copies = To16Bits(copies_, "Copies");
  if (!Ask(request, &UserInterface::ShowPrintDialog))
    return false;
  from_page_ = request.from_page;
  to_page_ = request.to_page;
  min_ = request.min_page;
  max_ = request.max_page;
  copies_ = request.copies;
  return true;
}

void clsCommonDialog::ShowHelp(int32_t) {
  Begin(kActionHelp);
  int32_t result = 1;
  if (help_command_ == HELP_CONTEXT || help_command_ == HELP_CONTEXTPOPUP) {
    const Variant context(help_context_);
    if (!context.IsNumeric())
      throw RuntimeError(kErrTypeMismatch, "HelpContext \"" + help_context_ + "\" is not a number",
                         "clsCommonDialog");
    result = OpenHelpPage(HelpPage(help_file_, context.ToLong()));
  } else if (help_command_ != HELP_QUIT) {
    // Keywords and contents have no pages of their own: the index lists
    // every topic.
    result = OpenHelpPage(HelpPage(help_file_, std::nullopt));
  }
  Finish(result, kCdErrDialogFailure);
}

}  // namespace kx4
