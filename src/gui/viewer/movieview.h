#pragma once
// A movie or a sound played in the viewer. Whether the player can play a file is known
// only after it tried: the view answers with playable() or failed(), always exactly once
// per file and never later than a few seconds (a missing multimedia backend fails at once).

#include <QTimer>
#include <QUrl>
#include <QWidget>

class QAudioOutput;
class QMediaPlayer;
class QPushButton;
class QSlider;
class QVideoWidget;

namespace folivo::gui {

class MovieView : public QWidget {
    Q_OBJECT
public:
    explicit MovieView(QWidget* parent = nullptr);
    ~MovieView() override;

    // Starts trying the file; the answer comes as a signal.
    void tryFile(const QUrl& url);
    // Stops and forgets the file.
    void stop();

    // Whether this system's multimedia backend has what it needs to play anything. Qt's
    // GStreamer backend builds its pipeline from elements of the GStreamer base plugins
    // and fails hard when they are missing, so they are looked for before any player is made.
    static bool backendUsable();

    // How long a player may take before the file counts as one it cannot play.
    static constexpr int LoadTimeoutMs = 5000;

signals:
    void playable();
    void failed();

private:
    void answer(bool ok);
    void makePlayer();

    QMediaPlayer* player_ = nullptr;
    QAudioOutput* audio_ = nullptr;
    QVideoWidget* video_ = nullptr;
    QPushButton* play_ = nullptr;
    QSlider* position_ = nullptr;
    QTimer timeout_;
    bool waiting_ = false;
};

} // namespace folivo::gui
