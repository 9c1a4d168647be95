#include "tools/device_window/bring_to_front.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>
#include <cstring>

namespace device_window {

namespace {

xcb_atom_t atom(xcb_connection_t* x, const char* name) {
  xcb_intern_atom_reply_t* reply =
      xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t found = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  return found;
}

}  // namespace

void bringToFront(QWidget* window) {
  window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  window->show();
  window->raise();
  window->activateWindow();
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (!x11 || !x11->connection()) return;
  xcb_connection_t* x = x11->connection();
  const auto id = static_cast<xcb_window_t>(window->winId());
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
  xcb_client_message_event_t ask{};
  ask.response_type = XCB_CLIENT_MESSAGE;
  ask.format = 32;
  ask.window = id;
  ask.type = atom(x, "_NET_ACTIVE_WINDOW");
  ask.data.data32[0] = 2;  // from a pager: the person's own choice
  ask.data.data32[1] = XCB_CURRENT_TIME;
  xcb_send_event(x, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&ask));
  xcb_set_input_focus(x, XCB_INPUT_FOCUS_PARENT, id, XCB_CURRENT_TIME);
  xcb_flush(x);
}

}  // namespace device_window
