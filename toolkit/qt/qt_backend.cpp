// The window backend on Qt 6 Widgets.
#include "resources/embedded.h"
#include "toolkit/backend.h"
#include "toolkit/qt/qt_internal.h"
#include "toolkit/toolkit.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QElapsedTimer>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

// The height of a drop-down list together with its opened part.
constexpr int LIST_OPEN_HEIGHT = 350;
// A sunken edge is 2 pixels on each side.
constexpr int SUNKEN_EDGE = 2;
// Codes event_wait gets for dispatches that raised no toolkit event: the type of the last Qt
// event handled, offset above every toolkit event code.
constexpr int32_t NATIVE_CODE_BASE = 0x8000;

QWidget* widget_of(NativeHandle h) {
    return reinterpret_cast<QWidget*>(h);
}
NativeHandle handle_of(QObject* o) {
    return reinterpret_cast<NativeHandle>(o);
}
QString text_of(const char* s) {
    return QString::fromUtf8(s ? s : "");
}

// Between the application and every Qt object: remembers the type of the last event Qt
// delivered (the native code of a dispatch), and holds back user input so that the program
// handles it one toolkit event at a time.  One wait may take many pending events from the
// window system; once one of them has raised a toolkit event, the input behind it is held and
// delivered by the following waits, in order, each after the program's handler for the event
// before it has returned and left the controls as it wanted them (a click held behind a click
// that enables its button is a click on an enabled button).  Input that reaches Qt while a
// handler repaints a window is held the same way.
class EventGate : public QObject {
  public:
    int last_type = 0;
    // Set while a handler runs code that lets Qt deliver events (a repaint).
    bool holding = false;
    // Set once the current wait has raised a toolkit event.
    bool raised = false;

    // Delivers held input, oldest first, until one raises a toolkit event; false when there
    // was none.
    bool replay_held() {
        if (held_.empty()) return false;
        replaying_ = true;
        while (!held_.empty() && !raised) {
            Held h = std::move(held_.front());
            held_.pop_front();
            if (!h.receiver) continue;
            last_type = int(h.event->type());
            QCoreApplication::sendEvent(h.receiver, h.event.get());
        }
        replaying_ = false;
        return true;
    }

    bool eventFilter(QObject* receiver, QEvent* e) override {
        if (!replaying_ && is_input(receiver, e) && (raised || holding || !held_.empty())) {
            held_.push_back({receiver, std::unique_ptr<QEvent>(e->clone())});
            return true;
        }
        last_type = int(e->type());
        return false;
    }

  private:
    struct Held {
        QPointer<QObject> receiver;
        std::unique_ptr<QEvent> event;
    };
    // What a user does: keys, the mouse, and a window's close box (which reaches the window
    // from the window system, never from the program).
    static bool is_input(QObject* receiver, QEvent* e) {
        switch (e->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
            return true;
        case QEvent::Close:
            return receiver->isWindowType();
        default:
            return false;
        }
    }
    bool replaying_ = false;
    std::deque<Held> held_;
};
EventGate* gate = nullptr;

// Every toolkit event the backend raises goes through here: the first one of a wait makes the
// gate hold the input behind it.
void raise_event(int32_t code, EventSource kind, int32_t id, EventDelivery delivery) {
    gate->raised = true;
    toolkit_post_event(code, kind, id, delivery);
}

// A top-level window whose close requests become toolkit events; it stays open.
class ToolkitWindow : public QWidget {
  public:
    ToolkitWindow(int32_t id, Qt::WindowFlags flags) : QWidget(nullptr, flags), id_(id) {
        setProperty(QT_ID_PROPERTY, id);
    }

  protected:
    void closeEvent(QCloseEvent* e) override {
        e->ignore();
        raise_event(EVENT_CLOSE_WINDOW, EventSource::Window, id_, EventDelivery::Immediate);
    }

  private:
    int32_t id_;
};

NativeHandle window_create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                           const char* title, uint32_t flags) {
    if (width < 0 || height < 0) return 0;
    // Fixed size: no sizing border, no minimise or maximise box.
    Qt::WindowFlags f = Qt::Window | Qt::CustomizeWindowHint;
    if (flags & WINDOW_CAPTION) f |= Qt::WindowTitleHint;
    if (flags & WINDOW_SYSMENU) f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    auto* w = new ToolkitWindow(id, f);
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    w->setWindowTitle(text_of(title));
    w->setFixedSize(width, height);
    // On a top-level widget move() places the outer frame's top-left corner.
    w->move(x, y);
    w->show();
    return handle_of(w);
}

void window_destroy(NativeHandle window) {
    delete widget_of(window);
}

// Shows as many rows as fit in the list height below the closed field.
void fit_popup(QComboBox* list) {
    int row = list->count() > 0 ? list->view()->sizeHintForRow(0) : 0;
    if (row <= 0) row = list->fontMetrics().height() + 2;
    list->setMaxVisibleItems(std::max(1, (LIST_OPEN_HEIGHT - list->height()) / row));
}

void apply_sunken_edge(QLabel* label) {
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setLineWidth(SUNKEN_EDGE);
}

NativeHandle control_create(NativeHandle parent_handle, const ControlRequest& s) {
    QWidget* parent = widget_of(parent_handle);
    QWidget* w = nullptr;
    const int32_t id = s.id;
    switch (s.kind) {
    case ControlKind::Label: {
        auto* label = new QLabel(text_of(s.text), parent);
        label->setAlignment((s.flags & LABEL_CENTER ? Qt::AlignHCenter : Qt::AlignLeft) |
                            Qt::AlignVCenter);
        if (s.flags & LABEL_SUNKEN_EDGE) apply_sunken_edge(label);
        label->setGeometry(s.x, s.y, s.width, s.height);
        w = label;
        break;
    }
    case ControlKind::Dropdown: {
        auto* list = new QComboBox(parent);
        list->setEditable(false);
        // The closed control is exactly the size asked for; the opened list fills the rest
        // of the list height, scrolling when the entries need more rows.  Styles that open
        // the list over the field, showing every entry at once, are told not to.
        list->setStyleSheet("QComboBox { combobox-popup: 0; }");
        list->setFixedSize(s.width, s.height);
        list->move(s.x, s.y);
        list->view()->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        fit_popup(list);
        QObject::connect(list, &QComboBox::currentIndexChanged, [id, list](int) {
            qt_mirror_selection(list);
            raise_event(EVENT_CONTROL, EventSource::Control, id, EventDelivery::Queued);
        });
        // Named by its caption, which a click on the caption also focuses it from (a caption
        // with an '&' would show it as a mnemonic, so it only names the list).
        if (auto* caption = s.caption ? qobject_cast<QLabel*>(widget_of(s.caption)) : nullptr) {
            if (!caption->text().contains('&')) caption->setBuddy(list);
            list->setAccessibleName(caption->text());
        }
        w = list;
        break;
    }
    case ControlKind::Button: {
        auto* button = new QPushButton(text_of(s.text), parent);
        button->setAutoDefault(false);
        button->setGeometry(s.x, s.y, s.width, s.height);
        QObject::connect(button, &QPushButton::clicked, [id](bool) {
            raise_event(EVENT_CONTROL, EventSource::Control, id, EventDelivery::Immediate);
        });
        w = button;
        break;
    }
    case ControlKind::Picture: {
        auto* picture = new QLabel(parent);
        picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        const int edge = s.flags & PICTURE_SUNKEN_EDGE ? 2 * SUNKEN_EDGE : 0;
        if (edge) apply_sunken_edge(picture);
        int width = s.width, height = s.height;
        if (const auto* image = reinterpret_cast<const QImage*>(s.image)) {
            picture->setPixmap(QPixmap::fromImage(*image));
            width = image->width() + edge;
            height = image->height() + edge;
        }
        picture->setGeometry(s.x, s.y, width, height);
        w = picture;
        break;
    }
    case ControlKind::WebView:
        // The Linux build carries no browser engine: the only browser control the program
        // makes is replaced by the splash window's picture before it is ever seen.
        return 0;
    }
    w->setProperty(QT_ID_PROPERTY, id);
    w->show();
    return handle_of(w);
}

void control_destroy(NativeHandle control) {
    // Nothing a dying control does is reported any more.
    QWidget* w = widget_of(control);
    w->blockSignals(true);
    delete w;
}

// The core calls the list operations on lists only.
QComboBox* list_of(NativeHandle control) {
    return static_cast<QComboBox*>(widget_of(control));
}

int32_t list_add_item(NativeHandle control, int32_t position, const char* text) {
    QComboBox* list = list_of(control);
    if (!list) return 0;
    if (position == -1) position = list->count();
    if (position < 0 || position > list->count()) return 0;
    // Adding entries selects nothing by itself and reports nothing.
    const QSignalBlocker quiet(list);
    const bool had_selection = list->currentIndex() >= 0;
    list->insertItem(position, text_of(text));
    if (!had_selection) list->setCurrentIndex(-1);
    qt_mirror_selection(list);
    if (list->count() == 1) fit_popup(list);
    return 1;
}

int32_t list_select(NativeHandle control, int32_t position) {
    QComboBox* list = list_of(control);
    if (!list || position < -1 || position >= list->count()) return 0;
    const QSignalBlocker quiet(list);
    list->setCurrentIndex(position);
    qt_mirror_selection(list);
    return 1;
}

int32_t list_selected(NativeHandle control) {
    QComboBox* list = list_of(control);
    return list ? list->currentIndex() : -1;
}

void control_set_disabled(NativeHandle control, bool disabled) {
    widget_of(control)->setEnabled(!disabled);
}

NativeHandle image_create(const DecodedImage& d) {
    if (d.width <= 0 || d.height <= 0 || !d.pixels) return 0;
    auto* image =
        new QImage(d.width, d.height, d.alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    if (image->isNull()) {
        delete image;
        return 0;
    }
    const size_t row = size_t(d.width) * (d.alpha ? 4 : 3);
    for (int y = 0; y < d.height; ++y)
        std::memcpy(image->scanLine(y), d.pixels + row * size_t(y), row);
    return reinterpret_cast<NativeHandle>(image);
}

void image_destroy(NativeHandle image) {
    delete reinterpret_cast<QImage*>(image);
}

// Held input first, without waiting; otherwise whatever comes next from the window system.
int32_t wait_and_dispatch() {
    gate->last_type = 0;
    gate->raised = false;
    if (!gate->replay_held())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    gate->raised = false;
    return NATIVE_CODE_BASE + gate->last_type;
}

void sleep_for(int32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void repaint_now(NativeHandle window) {
    QWidget* w = widget_of(window);
    // A window just shown may not be on screen yet; let the window system catch up (no user
    // input is handled meanwhile: it stays queued for event_wait), then paint.
    QElapsedTimer waited;
    waited.start();
    gate->holding = true;
    while (w->windowHandle() && !w->windowHandle()->isExposed() && waited.elapsed() < 250)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
    gate->holding = false;
    w->repaint();
}

NativeHandle focused_control(NativeHandle window) {
    QWidget* focus = widget_of(window)->focusWidget();
    return focus && focus != widget_of(window) ? handle_of(focus) : 0;
}

void focus_control(NativeHandle control) {
    widget_of(control)->setFocus(Qt::TabFocusReason);
}

const WindowBackend qt_backend = {
    .window_create = window_create,
    .window_destroy = window_destroy,
    .control_create = control_create,
    .control_destroy = control_destroy,
    .list_add_item = list_add_item,
    .list_select = list_select,
    .list_selected = list_selected,
    .control_set_disabled = control_set_disabled,
    .image_create = image_create,
    .image_destroy = image_destroy,
    .wait_and_dispatch = wait_and_dispatch,
    .sleep_ms = sleep_for,
    .repaint_now = repaint_now,
    .shutdown = nullptr,
    .focused_control = focused_control,
    .focus_control = focus_control,
};

// True when Qt has a display to open; without one it would abort the process.
bool display_available() {
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    if (set("QT_QPA_PLATFORM") || set("WAYLAND_DISPLAY")) return true;
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return false;
    // A local display ":N" has its socket in /tmp/.X11-unix; a remote one is taken on trust.
    if (display[0] == ':') {
        const std::string number(display + 1, std::strcspn(display + 1, "."));
        return access(("/tmp/.X11-unix/X" + number).c_str(), F_OK) == 0;
    }
    return true;
}

} // namespace

void toolkit_init() {
    if (!QCoreApplication::instance()) {
        if (!display_available()) {
            std::fprintf(stderr,
                         "%s: there is no display to open a window on; run it under a virtual "
                         "X server, e.g. xvfb-run -a build/bin/%s\n",
                         program_invocation_short_name, program_invocation_short_name);
            std::exit(0);
        }
        static int argc = 1;
        static char* argv[] = {program_invocation_short_name, nullptr};
        new QApplication(argc, argv);
        // The program icon, on every window.
        QApplication::setWindowIcon(QIcon(QPixmap::fromImage(
            QImage::fromData(program_icon_png_data(), int(program_icon_png_size()), "PNG"))));
    }
    qt_accessible_start();
    if (!gate) {
        gate = new EventGate;
        QCoreApplication::instance()->installEventFilter(gate);
    }
    toolkit_core_start(&qt_backend);
}
