// Which object stands for which window: the bound objects of the program,
// and the temporary objects handed out for windows without one.
#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "framework.h"

namespace afx {

class PermanentMap {
 public:
  // False when the window or the object is bound already.
  bool Add(HWND hWnd, CWnd* wnd);
  void Remove(HWND hWnd, CWnd* wnd);
  CWnd* Find(HWND hWnd);

 private:
  std::mutex mutex_;
  std::map<HWND, CWnd*> bound_;
};

// Per thread; emptied when the thread's message loop runs idle.
class TemporaryMap {
 public:
  CWnd* For(HWND hWnd);
  void Clear() { objects_.clear(); }

 private:
  std::map<HWND, std::unique_ptr<CWnd>> objects_;
};

PermanentMap& Permanent();
TemporaryMap& Temporaries();

}  // namespace afx
