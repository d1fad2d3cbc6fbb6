#include "toolkit/probe.h"
#include "toolkit/qt/qt_internal.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QScrollBar>
#include <QWidget>
#include <QWindow>

#include <cstdlib>
#include <string>

namespace {
QWidget* widget_of(NativeHandle h) {
    return reinterpret_cast<QWidget*>(h);
}
ProbeRect rect_of(const QRect& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}
std::string text_buffer;
} // namespace

void probe_start() {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

bool probe_geometry(NativeHandle h, ProbeRect* frame, ProbeRect* client) {
    QWidget* w = widget_of(h);
    if (!w) return false;
    if (frame) *frame = rect_of(w->isWindow() ? w->frameGeometry() : w->geometry());
    if (client) *client = rect_of(w->geometry());
    return true;
}

bool probe_visible(NativeHandle h) {
    return h && widget_of(h)->isVisible();
}
bool probe_enabled(NativeHandle h) {
    return h && widget_of(h)->isEnabled();
}

uint32_t probe_window_traits(NativeHandle h) {
    QWidget* w = widget_of(h);
    const Qt::WindowFlags f = w->windowFlags();
    uint32_t traits = 0;
    if (f & Qt::WindowTitleHint) traits |= PROBE_TITLE;
    if (f & Qt::WindowCloseButtonHint) traits |= PROBE_CLOSE_BOX;
    if (f & Qt::WindowMinimizeButtonHint) traits |= PROBE_MINIMIZE_BOX;
    if (f & Qt::WindowMaximizeButtonHint) traits |= PROBE_MAXIMIZE_BOX;
    if (w->minimumSize() == w->maximumSize()) traits |= PROBE_FIXED_SIZE;
    return traits;
}

void probe_post_close_request(NativeHandle h) {
    QWidget* w = widget_of(h);
    QObject* target = w->windowHandle() ? static_cast<QObject*>(w->windowHandle()) : w;
    QCoreApplication::postEvent(target, new QCloseEvent);
}

void probe_post_key_click(NativeHandle h) {
    QWidget* w = widget_of(h);
    QCoreApplication::postEvent(
        w, new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " "));
    QCoreApplication::postEvent(
        w, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " "));
}

void probe_post_choose(NativeHandle h, int32_t position) {
    auto* list = static_cast<QComboBox*>(widget_of(h));
    QMetaObject::invokeMethod(
        list, [list, position] { list->setCurrentIndex(position); }, Qt::QueuedConnection);
}

void probe_process_pending() {
    QCoreApplication::processEvents();
}

void probe_focus(NativeHandle h) {
    QWidget* w = widget_of(h);
    w->window()->activateWindow();
    QCoreApplication::processEvents();
    w->setFocus(Qt::OtherFocusReason);
}

int32_t probe_tab(NativeHandle window, bool backward) {
    QWidget* win = widget_of(window);
    QWidget* target = win->focusWidget() ? win->focusWidget() : win;
    QKeyEvent press(QEvent::KeyPress, backward ? Qt::Key_Backtab : Qt::Key_Tab,
                    backward ? Qt::ShiftModifier : Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    QWidget* now = win->focusWidget();
    return now ? now->property(QT_ID_PROPERTY).toInt() : 0;
}

int32_t probe_focused(NativeHandle window) {
    QWidget* now = widget_of(window)->focusWidget();
    return now ? now->property(QT_ID_PROPERTY).toInt() : 0;
}

const char* probe_accessible_name(NativeHandle h) {
    static std::string told;
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(widget_of(h));
    told = a ? a->text(QAccessible::Name).toStdString() : "";
    return told.c_str();
}

void probe_open_list(NativeHandle h, int32_t* popup_height, bool* scroll_bar_shown) {
    auto* list = static_cast<QComboBox*>(widget_of(h));
    list->showPopup();
    QCoreApplication::processEvents();
    *popup_height = list->view()->window()->height();
    *scroll_bar_shown = list->view()->verticalScrollBar()->isVisible();
    list->hidePopup();
    QCoreApplication::processEvents();
}

const char* probe_list_item(NativeHandle h, int32_t position) {
    text_buffer = static_cast<QComboBox*>(widget_of(h))->itemText(position).toStdString();
    return text_buffer.c_str();
}

const char* probe_text(NativeHandle h) {
    QWidget* w = widget_of(h);
    if (auto* label = qobject_cast<QLabel*>(w))
        text_buffer = label->text().toStdString();
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        text_buffer = button->text().toStdString();
    else
        text_buffer = w->windowTitle().toStdString();
    return text_buffer.c_str();
}

bool probe_picture_pixmap(NativeHandle h, int32_t* width, int32_t* height) {
    auto* label = qobject_cast<QLabel*>(widget_of(h));
    if (!label) return false;
    const QPixmap p = label->pixmap();
    *width = p.width();
    *height = p.height();
    return true;
}

uint32_t probe_image_pixel(NativeHandle image, int32_t x, int32_t y) {
    return reinterpret_cast<const QImage*>(image)->pixel(x, y);
}

uint32_t probe_background_pixel(NativeHandle h, int32_t x, int32_t y) {
    return widget_of(h)->grab(QRect(x, y, 1, 1)).toImage().pixel(0, 0);
}
uint32_t probe_face_colour() {
    return QApplication::palette().color(QPalette::Window).rgba();
}

void probe_post_wakeup() {
    QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::User));
}
