// The demo product that the demo package carries: a small window that says it is installed.
#include <windows.h>

namespace {

constexpr wchar_t kClassName[] = L"TovarelinDemoProduct";
constexpr wchar_t kTitle[] = L"霁岚舟";
constexpr wchar_t kMessage[] =
    L"霁岚舟已安装并正在运行。\n这是安装器演示包中的产品程序。";
constexpr COLORREF kBackground = RGB(247, 249, 252);
constexpr COLORREF kText = RGB(7, 16, 35);
constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

void OnPaint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  InflateRect(&client, -24, -24);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kText);
  HGDIOBJ previous = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  DrawTextW(dc, kMessage, -1, &client, DT_WORDBREAK);
  SelectObject(dc, previous);
  EndPaint(window, &paint);
}

LRESULT CALLBACK ProductWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      OnPaint(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = ProductWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = CreateSolidBrush(kBackground);
  windowClass.lpszClassName = kClassName;
  RegisterClassW(&windowClass);

  HWND window = CreateWindowExW(0, kClassName, kTitle, kStyle, CW_USEDEFAULT, CW_USEDEFAULT, 360,
                                180, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, showCommand);
  UpdateWindow(window);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
