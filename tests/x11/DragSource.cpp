// A drag source and drop target of the window test's own, as a file manager or an image
// editor is to Vexil:
//   vexil_drag_source drag URI   a window titled "drag source"; a press in it starts a copy
//                                drag offering URI as text/uri-list
//   vexil_drag_source drop       a window titled "drop target" that takes any drop and prints
//                                each format it was offered with its length, the
//                                uri-list's text and an image/png's size, then exits
#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QMouseEvent>
#include <QWidget>
#include <cstdio>
#include <cstring>

namespace {

class Source : public QWidget {
public:
    explicit Source(QByteArray uri) : uri_(std::move(uri)) { setWindowTitle(QStringLiteral("drag source")); }

protected:
    void mousePressEvent(QMouseEvent*) override {
        auto* drag = new QDrag(this);
        auto* mime = new QMimeData;
        mime->setData(QStringLiteral("text/uri-list"), uri_ + "\r\n");
        drag->setMimeData(mime);
        const Qt::DropAction done = drag->exec(Qt::CopyAction);
        std::printf("drag ended: %s\n", done == Qt::CopyAction ? "copied" : "ignored");
        std::fflush(stdout);
    }

private:
    QByteArray uri_;
};

class Target : public QWidget {
public:
    Target() {
        setWindowTitle(QStringLiteral("drop target"));
        setAcceptDrops(true);
    }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override { event->acceptProposedAction(); }
    void dropEvent(QDropEvent* event) override {
        const QMimeData* mime = event->mimeData();
        for (const QString& format : mime->formats())
            std::printf("format %s %lld\n", format.toUtf8().constData(), static_cast<long long>(mime->data(format).size()));
        std::printf("uri-list %s\n", mime->data(QStringLiteral("text/uri-list")).trimmed().constData());
        if (mime->hasFormat(QStringLiteral("image/png"))) {
            const QImage png = QImage::fromData(mime->data(QStringLiteral("image/png")), "PNG");
            std::printf("image/png %dx%d\n", png.width(), png.height());
        }
        std::fflush(stdout);
        event->acceptProposedAction();
        QApplication::exit(0);
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const bool drag = argc == 3 && std::strcmp(argv[1], "drag") == 0;
    const bool drop = argc == 2 && std::strcmp(argv[1], "drop") == 0;
    if (!drag && !drop) {
        std::fprintf(stderr, "usage: vexil_drag_source drag URI | drop\n");
        return 2;
    }
    Source source(drag ? QByteArray(argv[2]) : QByteArray());
    Target target;
    QWidget& window = drag ? static_cast<QWidget&>(source) : static_cast<QWidget&>(target);
    window.setGeometry(0, 0, 120, 80);
    window.show();
    return QApplication::exec();
}
