#include "download/AppMessageFilter.h"

#include <QCoreApplication>
#include <QPointer>

#include "download/TfrmAsker.h"
#include "platform/MessageLoop.h"

bool AppMessageFilter::eventFilter(QObject* watched, QEvent* event) {
    if (watched != QCoreApplication::instance() ||
        event->type() != static_cast<QEvent::Type>(platform::UM_SELECTNEWFOLDER))
        return false;
    const auto* message = static_cast<const platform::AppMessageEvent*>(event);
    if (TfrmAsker* dialog = frmAsker; dialog && dialog->isVisible())
        dialog->SelectNewFolder(static_cast<int>(message->wParam));
    return false;
}

void installAppMessageFilter() {
    static QPointer<AppMessageFilter> filter;
    QCoreApplication* app = QCoreApplication::instance();
    if (filter || !app)
        return;
    filter = new AppMessageFilter(app);
    app->installEventFilter(filter);
}
