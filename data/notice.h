// Notices shown from the worker thread: an ownerless topmost box with an OK
// button, whose answer nobody needs.
#pragma once

#include "ce/types.h"

void ShowNotice(LPCWSTR caption, LPCWSTR text);
