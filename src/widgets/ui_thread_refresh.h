#pragma once
// Widgets that worker threads drive: the worker stores the values, the
// user-interface thread applies them to the widget. One posted refresh per
// widget is enough, because it reads the newest values when it runs.
#include <QMetaObject>
#include <QThread>
#include <atomic>

namespace korvane {

// Runs `refresh` at once on `widget`'s own thread; from another thread posts
// it there unless a posted one has not run yet. `refresh` clears `posted`
// before it reads the values.
template <class Widget>
void RefreshOnOwnThread(Widget* widget, std::atomic<bool>& posted, void (Widget::*refresh)()) {
    if (QThread::currentThread() == widget->thread()) {
        (widget->*refresh)();
        return;
    }
    if (!posted.exchange(true))
        QMetaObject::invokeMethod(widget, refresh, Qt::QueuedConnection);
}

}  // namespace korvane
