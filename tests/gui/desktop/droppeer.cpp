// Another program on the desktop, for the drag tests: it takes drops as a file manager would,
// or drags files into Folivo as one would. Each thing it sees goes as one JSON line into the
// report file, beginning with where its window is once it is shown.
//
//   folivo-droppeer target REPORT          takes drops and reports them
//   folivo-droppeer trash REPORT           takes drops and moves the files to the desktop's
//                                          Trash (the freedesktop.org layout), as its Trash would
//   folivo-droppeer source REPORT PATH...  drags PATH... (files or folders) when pressed

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QDrag>
#include <QDragEnterEvent>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMimeData>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QString reportFile;

void report(const QJsonObject& line)
{
    QFile f(reportFile);
    if (f.open(QIODevice::Append)) {
        f.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
        f.close();
    }
}

QJsonArray actionNames(Qt::DropActions actions)
{
    QJsonArray out;
    if (actions & Qt::CopyAction)
        out << QStringLiteral("copy");
    if (actions & Qt::MoveAction)
        out << QStringLiteral("move");
    if (actions & Qt::LinkAction)
        out << QStringLiteral("link");
    return out;
}

// Moves a file into the home Trash the way freedesktop.org desktops do.
bool moveToTrash(const QString& path)
{
    const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash";
    QDir().mkpath(trash + "/files");
    QDir().mkpath(trash + "/info");
    QString name = QFileInfo(path).fileName();
    for (int n = 2; QFileInfo::exists(trash + "/files/" + name); ++n)
        name = QFileInfo(path).fileName() + '.' + QString::number(n);
    QFile info(trash + "/info/" + name + ".trashinfo");
    if (!info.open(QIODevice::WriteOnly))
        return false;
    info.write("[Trash Info]\nPath=" + QUrl::toPercentEncoding(path, "/") + "\nDeletionDate="
               + QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + "\n");
    info.close();
    return QFile::rename(path, trash + "/files/" + name);
}

class Peer : public QLabel {
public:
    Peer(QString mode, QStringList paths) : mode_(std::move(mode)), paths_(std::move(paths))
    {
        setWindowTitle(QStringLiteral("Drop Peer"));
        setText(mode_ == "source" ? QStringLiteral("Drag from here") : QStringLiteral("Drop here"));
        setAlignment(Qt::AlignCenter);
        setAcceptDrops(mode_ != "source");
        setMinimumSize(260, 200);
    }

protected:
    void showEvent(QShowEvent* event) override
    {
        QLabel::showEvent(event);
        QTimer::singleShot(300, this, [this] {
            const QPoint origin = mapToGlobal(QPoint(0, 0));
            report({{"ready", true}, {"x", origin.x()}, {"y", origin.y()}, {"w", width()}, {"h", height()}});
        });
    }
    void dragEnterEvent(QDragEnterEvent* event) override { take(event); }
    void dragMoveEvent(QDragMoveEvent* event) override { take(event); }
    void dropEvent(QDropEvent* event) override
    {
        QJsonArray urls;
        for (const QUrl& url : event->mimeData()->urls())
            urls << url.toLocalFile();
        take(event);
        report({{"drop", true},
                {"possible", actionNames(event->possibleActions())},
                {"proposed", actionNames(event->proposedAction()).isEmpty() ? QString() : actionNames(event->proposedAction())[0].toString()},
                {"urls", urls}});
        if (mode_ == "trash") {
            // As a file manager does, after the drop has been answered.
            const QStringList files = [&] {
                QStringList out;
                for (const QJsonValue& v : urls)
                    out << v.toString();
                return out;
            }();
            QTimer::singleShot(200, this, [files] {
                for (const QString& f : files)
                    report({{"trashed", f}, {"ok", moveToTrash(f)}});
            });
        }
    }
    void mousePressEvent(QMouseEvent*) override
    {
        if (mode_ != "source")
            return;
        auto* drag = new QDrag(this);
        auto* data = new QMimeData;
        QList<QUrl> urls;
        for (const QString& p : paths_)
            urls << QUrl::fromLocalFile(p);
        data->setUrls(urls);
        drag->setMimeData(data);
        const Qt::DropAction done = drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::CopyAction);
        report({{"dragged", true}, {"result", actionNames(done).isEmpty() ? QString() : actionNames(done)[0].toString()}});
    }

private:
    void take(QDropEvent* event)
    {
        // A file manager's copy: taken as a copy when that is offered.
        if (event->possibleActions() & Qt::CopyAction) {
            event->setDropAction(Qt::CopyAction);
            event->accept();
        } else {
            event->ignore();
        }
    }
    QString mode_;
    QStringList paths_;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return 2;
    reportFile = args[2];
    Peer peer(args[1], args.mid(3));
    peer.move(760, 120);
    peer.show();
    return app.exec();
}
