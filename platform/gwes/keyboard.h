// Keyboard input: keybd_event feeds the foreground window's thread, the
// thread's messages keep its key state (GetKeyState), and TranslateMessage
// turns key-downs into characters (US layout).
#pragma once

#include "thread_queue.h"

namespace cedev::gwes {

// Aims a keyboard message taken from the input queue at the focus, when
// the focus lies inside the window the input came for.
void TargetInput(ThreadQueue& queue, MSG* msg);
// Updates the thread's key state for a keyboard message it took.
void NoteInput(ThreadQueue& queue, const MSG& msg);
// Posts WM_CHAR (WM_SYSCHAR) for a key-down that gives a character.
bool TranslateKeyMessage(ThreadQueue& queue, const MSG& msg);
// The character a key gives, or 0.
char16_t CharForKey(int vk, bool shift, bool ctrl, bool caps);
bool KeyHeld(const ThreadQueue& queue, int vk);

}  // namespace cedev::gwes
