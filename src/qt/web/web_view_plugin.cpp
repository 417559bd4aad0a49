// The browser engine, kept out of the client's start-up: Qt WebEngine costs
// tens of milliseconds as soon as it is linked, so the client loads this small
// library only once its window has been painted.
#include <QWebEngineView>

extern "C" Q_DECL_EXPORT QWidget* tallyro_create_web_view(QWidget* parent) {
    auto* view = new QWebEngineView(parent);
    view->setContextMenuPolicy(Qt::NoContextMenu);
    return view;
}
