// A stand-in for the browser-engine library: a plain widget with the engine
// view's "url" property, recording every address it is asked to load (the same
// address again too, as a real view loads it again) in its "loads" property.
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <QWidget>

class RecordingView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QUrl url READ url WRITE setUrl)

public:
    using QWidget::QWidget;
    QUrl url() const { return url_; }
    void setUrl(const QUrl& url) {
        url_ = url;
        QStringList loads = property("loads").toStringList();
        loads << url.toString();
        setProperty("loads", loads);
    }

private:
    QUrl url_;
};

extern "C" Q_DECL_EXPORT QWidget* tallyro_create_web_view(QWidget* parent) {
    return new RecordingView(parent);
}

#include "fake_web_view.moc"
