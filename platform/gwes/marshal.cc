#include "marshal.h"

#include <algorithm>
#include <cstring>

#include "last_error.h"
#include "wire_format.h"
#include "wstr.h"

namespace cedev::gwes {
namespace {

std::string UnitsAsBytes(std::u16string_view text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t));
}

std::u16string BytesAsUnits(const std::string& bytes, size_t from) {
  std::u16string text((bytes.size() - std::min(from, bytes.size())) / sizeof(char16_t), u'\0');
  if (!text.empty()) std::memcpy(text.data(), bytes.data() + from, text.size() * sizeof(char16_t));
  return text;
}

// Copies what came back into the caller's room, terminated.
void CopyOut(const std::string& reply, LPWSTR out, size_t room) {
  if (!out || room == 0) return;
  std::u16string text = BytesAsUnits(reply, 0);
  size_t n = std::min(text.size(), room - 1);
  std::copy_n(text.data(), n, out);
  out[n] = 0;
}

}  // namespace

Carriage CarriageOf(UINT message, LPARAM lparam) {
  switch (message) {
    case WM_SETTEXT:
    case CB_ADDSTRING:
    case CB_INSERTSTRING:
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
    case CB_SELECTSTRING:
    case EM_REPLACESEL:
    case WM_SETTINGCHANGE:
      return Carriage::kTextIn;
    case WM_GETTEXT:
      return Carriage::kTextOut;
    case CB_GETLBTEXT:
      return Carriage::kItemTextOut;
    case EM_GETSEL:
      return Carriage::kSelectionOut;
    case WM_HELP:
    case WM_DEVICECHANGE:
      return lparam ? Carriage::kRefused : Carriage::kValues;
    case WM_CREATE:
    case WM_NCCREATE:
    case WM_WINDOWPOSCHANGED:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_DELETEITEM:
    case WM_COMPAREITEM:
    case WM_NOTIFY:
    case WM_COPYDATA:
    case WM_STYLECHANGED:
      return Carriage::kRefused;
    default:
      return Carriage::kValues;
  }
}

bool PackRequest(UINT message, WPARAM, LPARAM lparam, std::string* payload) {
  payload->clear();
  switch (CarriageOf(message, lparam)) {
    case Carriage::kRefused:
      return Fail(ERROR_NOT_SUPPORTED, false);
    case Carriage::kTextIn: {
      // A leading byte tells a null pointer from an empty text.
      payload->push_back(lparam ? 1 : 0);
      if (lparam) *payload += UnitsAsBytes(WView(reinterpret_cast<LPCWSTR>(lparam)));
      if (payload->size() > kMaxPayload) return Fail(ERROR_NOT_ENOUGH_MEMORY, false);
      return true;
    }
    default:
      return true;
  }
}

LRESULT CallUnpacked(UINT message, WPARAM wparam, LPARAM lparam, const std::string& payload, const MessageCall& call,
                     std::string* reply) {
  reply->clear();
  switch (CarriageOf(message, lparam)) {
    case Carriage::kTextIn: {
      if (payload.empty() || payload[0] == 0) return call(message, wparam, 0);
      std::u16string text = BytesAsUnits(payload, 1);
      return call(message, wparam, reinterpret_cast<LPARAM>(text.c_str()));
    }
    case Carriage::kTextOut: {
      size_t room = std::min<size_t>(wparam, kMaxPayload / sizeof(char16_t));
      std::u16string buffer(room + 1, u'\0');
      LRESULT result = call(message, room, reinterpret_cast<LPARAM>(buffer.data()));
      size_t got = std::min<size_t>(result > 0 ? static_cast<size_t>(result) : 0, room);
      *reply = UnitsAsBytes(std::u16string_view(buffer.data(), got));
      return result;
    }
    case Carriage::kItemTextOut: {
      LRESULT length = call(CB_GETLBTEXTLEN, wparam, 0);
      if (length < 0 || static_cast<size_t>(length) > kMaxPayload / sizeof(char16_t)) return CB_ERR;
      std::u16string buffer(static_cast<size_t>(length) + 1, u'\0');
      LRESULT result = call(message, wparam, reinterpret_cast<LPARAM>(buffer.data()));
      if (result > 0) *reply = UnitsAsBytes(std::u16string_view(buffer.data(), std::min<size_t>(result, length)));
      return result;
    }
    case Carriage::kSelectionOut: {
      DWORD start = 0, end = 0;
      LRESULT result = call(message, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
      reply->assign(reinterpret_cast<const char*>(&start), sizeof start);
      reply->append(reinterpret_cast<const char*>(&end), sizeof end);
      return result;
    }
    case Carriage::kRefused:
      return 0;
    case Carriage::kValues:
      break;
  }
  return call(message, wparam, lparam);
}

void UnpackReply(UINT message, WPARAM wparam, LPARAM lparam, LRESULT result, const std::string& reply) {
  switch (CarriageOf(message, lparam)) {
    case Carriage::kTextOut:
      CopyOut(reply, reinterpret_cast<LPWSTR>(lparam), wparam);
      break;
    case Carriage::kItemTextOut:
      if (result != CB_ERR) CopyOut(reply, reinterpret_cast<LPWSTR>(lparam), reply.size() / sizeof(char16_t) + 1);
      break;
    case Carriage::kSelectionOut:
      if (reply.size() == 2 * sizeof(DWORD)) {
        if (wparam) std::memcpy(reinterpret_cast<DWORD*>(wparam), reply.data(), sizeof(DWORD));
        if (lparam) std::memcpy(reinterpret_cast<DWORD*>(lparam), reply.data() + sizeof(DWORD), sizeof(DWORD));
      }
      break;
    default:
      break;
  }
}

}  // namespace cedev::gwes
