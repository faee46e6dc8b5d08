// SPDX-License-Identifier: GPL-3.0-or-later
// The XEmbed tray manager as freedesktop's system tray protocol has it, on an X connection of our own.
#include "xembedtray.h"

#include <QByteArray>
#include <QSocketNotifier>
#include <cstdlib>
#include <xcb/xcb.h>

namespace {
xcb_atom_t internAtom(xcb_connection_t* connection, const QByteArray& name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(name.size()), name.constData()), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : XCB_ATOM_NONE;
    std::free(reply);
    return atom;
}

void followStructure(xcb_connection_t* connection, xcb_window_t window)
{
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &mask);
}
} // namespace

XEmbedTray::XEmbedTray(QObject* parent) : QObject(parent) { }

XEmbedTray::~XEmbedTray()
{
    delete mNotifier;
    if (mConnection) {
        xcb_disconnect(mConnection);
    }
}

bool XEmbedTray::open()
{
    int screenNumber = 0;
    mConnection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(mConnection)) {
        xcb_disconnect(mConnection);
        mConnection = nullptr;
        return false;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(mConnection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    mRoot = screens.data->root;
    mSelection = internAtom(mConnection, "_NET_SYSTEM_TRAY_S" + QByteArray::number(screenNumber));
    mManagerAtom = internAtom(mConnection, "MANAGER");
    // A manager that takes the selection says so to every client that follows the root window's structure.
    followStructure(mConnection, mRoot);
    mNotifier = new QSocketNotifier(xcb_get_file_descriptor(mConnection), QSocketNotifier::Read);
    connect(mNotifier, &QSocketNotifier::activated, this, &XEmbedTray::onEvents);
    update();
    return true;
}

void XEmbedTray::update()
{
    xcb_window_t owner = XCB_WINDOW_NONE;
    // Follow the owner first, then ask again: an owner that went in between is not taken for present.
    for (int attempt = 0; attempt < 3; ++attempt) {
        xcb_get_selection_owner_reply_t* reply =
            xcb_get_selection_owner_reply(mConnection, xcb_get_selection_owner(mConnection, mSelection), nullptr);
        const xcb_window_t now = reply ? reply->owner : XCB_WINDOW_NONE;
        std::free(reply);
        if (now == owner) {
            break;
        }
        owner = now;
        if (owner != XCB_WINDOW_NONE) {
            followStructure(mConnection, owner);
        }
    }
    xcb_flush(mConnection);
    if (owner != mManager) {
        mManager = owner;
        emit signal_changed();
    }
}

void XEmbedTray::onEvents()
{
    bool changed = false;
    // Replies may have pulled events into xcb's queue, so the queue is read too until it is empty.
    for (;;) {
        xcb_generic_event_t* event = xcb_poll_for_event(mConnection);
        if (!event) {
            break;
        }
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_CLIENT_MESSAGE) {
            const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
            changed |= message->type == mManagerAtom && message->data.data32[1] == mSelection;
        } else if (type == XCB_DESTROY_NOTIFY) {
            changed |= reinterpret_cast<xcb_destroy_notify_event_t*>(event)->window == mManager;
        }
        std::free(event);
    }
    if (xcb_connection_has_error(mConnection)) {
        // The X server went away; the program goes with it, and meanwhile nothing is read again.
        mNotifier->setEnabled(false);
        if (mManager != XCB_WINDOW_NONE) {
            mManager = XCB_WINDOW_NONE;
            emit signal_changed();
        }
        return;
    }
    if (changed) {
        update();
        onEvents();
    }
}
