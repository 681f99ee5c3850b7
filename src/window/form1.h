// The program's only window: three channel scroll bars, a sample text drawn in
// the chosen colour, and the "Change" label that stores the colour for the
// account signed in to the messenger.
#pragma once

#include <windows.h>

#include "color/apply.h"
#include "messenger/messenger_link.h"
#include "owned.h"
#include "window/look.h"

class Form1 final : public ChannelControls {
 public:
  static constexpr wchar_t kWindowClass[] = L"TintwellForm1";
  // Exit code when the messenger could not be reached at load.
  static constexpr int kNoMessengerExitCode = 2;

  Form1() = default;
  ~Form1();
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // Creates the window and shows it. Creating it runs the load event, which
  // opens the messenger link first. When the link cannot be opened, the user
  // is told and Load returns false; the window is never shown. It returns
  // false too, without a word, when a close was asked for during the load
  // event. Either way, exit_code() is the code the program ends with.
  bool Load(HINSTANCE instance);

  HWND window() const { return window_; }
  int exit_code() const { return exit_code_; }

  ChannelTriple ReadChannels() override;
  void SetGreen(std::int16_t green) override;

 private:
  using UniqueBrush = Owned<HBRUSH, DeleteObject>;

  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  // window is the handle the system passed in: window_ is already null
  // while the window's last messages arrive.
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  bool OnCreate();
  // Opens the messenger link, then creates and lays out the controls, set to
  // the colour stored for the signed-in account if it has one. False when
  // the link or the controls fail (the user has been told why) or when a
  // close was asked for while the link was being opened.
  bool OpenAndCreateControls();
  void OnHScroll(HWND bar, int request, int thumb_position);
  void OnCommand(int id, int notification);
  LRESULT OnControlColor(HDC dc, HWND control);
  void OnCloseRequest();
  LRESULT OnEraseBackground(HDC dc);
  void OnActivate(int state);
  void OnSetFocus();
  void OnDpiChanged(UINT dpi, const RECT& suggested);
  void OnDestroy();

  void RefreshPreview();
  std::int16_t ChannelValue(int id) const;
  void SetChannelValue(int id, int value);
  HWND Control(int id) const { return GetDlgItem(window_, id); }
  // Runs a handler. A close asked for while it runs waits until it is over.
  // When the handler fails, the fatal error box is shown, and the program
  // ends once the outermost handler (an apply under way, say) is over.
  template <typename Handler>
  void Guarded(Handler&& handler);

  HWND window_ = nullptr;
  HWND focus_ = nullptr;
  MessengerLink msn_;
  UniqueBrush background_;
  Form1Look look_;
  COLORREF preview_ = 0;
  bool preview_set_ = false;
  // True while a handler runs (the start, a scroll, an apply or a relayout,
  // with any box it shows). A close that comes meanwhile is held
  // (close_held_) and carried out when the handler is over, and a click on
  // "Change" starts no second apply inside it.
  bool in_handler_ = false;
  bool close_held_ = false;
  int exit_code_ = 0;
};
