#include "gui/qt_main_thread.h"

#include <QEventLoop>
#include <QMetaObject>
#include <QThread>

namespace vantrel {

bool QtMainThread::isMainThread() const {
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

void QtMainThread::invoke(const std::function<void()>& fn) {
    if (isMainThread()) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&fn] { fn(); }, Qt::BlockingQueuedConnection);
}

void QtMainThread::post(std::function<void()> fn) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(fn), Qt::QueuedConnection);
}

void QtMainThread::processPending(int timeoutMs) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, timeoutMs);
    QThread::msleep(1);
}

}  // namespace vantrel
