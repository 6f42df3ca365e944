#include "ScreenFit.h"

#include <QEvent>
#include <QLayout>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

namespace zq::ui {

namespace {

const char kScrollAreaName[] = "screenFit_scrollArea";
const char kContentsName[] = "screenFit_contents";
constexpr int kFrameBorderPx = 4; // the window manager's border above and below

// Room for the window manager's frame: what it is where the window has one
// already, else its title bar and borders. Side borders are thin or none, and
// a few pixels past the screen's edge hide nothing: they are not guessed.
QSize frameReserve(const QWidget *window) {
    const QSize known = window->frameGeometry().size() - window->geometry().size();
    const int titleBar = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
    return known.expandedTo(QSize(0, titleBar + 2 * kFrameBorderPx));
}

// The size the window's own code asked for: what it has once sized, else
// what showing it will give it.
QSize neededSize(const QWidget *window) {
    const QSize asked = window->testAttribute(Qt::WA_Resized) ? window->size() : window->sizeHint();
    return asked.expandedTo(window->minimumSize()).expandedTo(window->minimumSizeHint());
}

// Moves the window's layout, with every widget in it, into a scroll area that
// becomes the window's only content; a menu bar stays above it.
QScrollArea *wrapContent(QWidget *window) {
    if (QScrollArea *done = screenFitScrollArea(window))
        return done;
    QLayout *content = window->layout();
    if (!content)
        return nullptr;
    QWidget *menuBar = content->menuBar();
    content->setMenuBar(nullptr);
    auto *contents = new QWidget;
    contents->setObjectName(QString::fromLatin1(kContentsName));
    contents->setLayout(content); // takes it, and its widgets, from the window
    auto *scroll = new QScrollArea;
    scroll->setObjectName(QString::fromLatin1(kScrollAreaName));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(contents);
    auto *outer = new QVBoxLayout(window);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->setMenuBar(menuBar);
    outer->addWidget(scroll);
    scroll->show();
    return scroll;
}

class ShowWatcher : public QObject {
public:
    explicit ShowWatcher(QWidget *window) : QObject(window) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Show) {
            // After the code that called show() has sized the window.
            QPointer<QWidget> window = static_cast<QWidget *>(watched);
            QTimer::singleShot(0, this, [window] {
                if (window)
                    fitToScreen(window);
            });
        }
        return false;
    }
};

} // namespace

ScreenArea &screenArea() {
    static ScreenArea area = [](const QWidget *window) {
        const QScreen *screen = window->screen();
        return screen ? screen->availableGeometry() : QRect();
    };
    return area;
}

QScrollArea *screenFitScrollArea(const QWidget *window) {
    return window->findChild<QScrollArea *>(QString::fromLatin1(kScrollAreaName),
                                            Qt::FindDirectChildrenOnly);
}

void fitToScreen(QWidget *window) {
    const QRect area = screenArea()(window);
    if (area.isEmpty())
        return;
    const QSize reserve = frameReserve(window);
    const QSize room = area.size() - reserve;
    QSize size = neededSize(window);
    const bool tooWide = size.width() > room.width();
    const bool tooHigh = size.height() > room.height();
    if (tooWide || tooHigh) {
        const bool fixed = window->minimumSize() == window->maximumSize();
        QScrollArea *scroll = wrapContent(window);
        if (!scroll)
            return;
        // A scroll bar in one direction takes room from the other.
        const int bar = scroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll);
        size += QSize(tooHigh ? bar : 0, tooWide ? bar : 0);
        size = size.boundedTo(room);
        if (fixed)
            window->setFixedSize(size);
        else
            window->resize(size);
    }
    if (window->testAttribute(Qt::WA_Moved)) {
        const QPoint lastFit(area.right() + 1 - size.width() - reserve.width(),
                             area.bottom() + 1 - size.height() - reserve.height());
        const QPoint at(qBound(area.left(), window->x(), qMax(area.left(), lastFit.x())),
                        qBound(area.top(), window->y(), qMax(area.top(), lastFit.y())));
        if (at != window->pos())
            window->move(at);
    }
}

void fitToScreenWhenShown(QWidget *window) {
    new ShowWatcher(window);
}

} // namespace zq::ui
