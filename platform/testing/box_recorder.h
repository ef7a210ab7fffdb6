// Message boxes a test's own process shows while the recorder lives: each is
// recorded and answered at once, Yes/No questions with the answer chosen
// (No unless told), every other box with OK.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

struct SeenBox {
  std::u16string caption;  // u"<null>" for a box without caption
  std::u16string text;
  UINT type = 0;
};

class BoxRecorder {
 public:
  explicit BoxRecorder(int yesNoAnswer = IDNO) : yes_no_answer_(yesNoAnswer) {
    CeSetMessageBoxAnswerer(&BoxRecorder::Answer, this);
  }
  ~BoxRecorder() { CeSetMessageBoxAnswerer(nullptr, nullptr); }
  BoxRecorder(const BoxRecorder&) = delete;
  BoxRecorder& operator=(const BoxRecorder&) = delete;

  // Boxes may come from any thread of the process; read them once those ended.
  std::vector<SeenBox> boxes;

 private:
  static int Answer(LPCWSTR caption, LPCWSTR text, UINT type, void* context) {
    auto* self = static_cast<BoxRecorder*>(context);
    std::lock_guard lock(self->mutex_);
    self->boxes.push_back({caption ? caption : u"<null>", text ? text : u"", type});
    return (type & MB_TYPEMASK) == MB_YESNO ? self->yes_no_answer_ : IDOK;
  }

  int yes_no_answer_;
  std::mutex mutex_;
};
