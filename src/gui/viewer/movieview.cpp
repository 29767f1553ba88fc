#include "viewer/movieview.h"

#include <QAudioOutput>
#include <QBoxLayout>
#include <QLibrary>
#include <QMediaPlayer>
#include <QPushButton>
#include <QSlider>
#include <QVideoWidget>

namespace folivo::gui {

bool MovieView::backendUsable()
{
    static const bool usable = [] {
        // Only the GStreamer backend is known to need this; another backend is trusted.
        const QByteArray backend = qgetenv("QT_MEDIA_BACKEND");
        if (!backend.isEmpty() && backend != "gstreamer")
            return true;
        QLibrary gst(QStringLiteral("gstreamer-1.0"), 0);
        using Init = int (*)(int*, char***, void**);
        using Find = void* (*)(const char*);
        using Unref = void (*)(void*);
        const auto init = reinterpret_cast<Init>(gst.resolve("gst_init_check"));
        const auto find = reinterpret_cast<Find>(gst.resolve("gst_element_factory_find"));
        const auto unref = reinterpret_cast<Unref>(gst.resolve("gst_object_unref"));
        if (!init || !find || !unref)
            return false;
        if (!init(nullptr, nullptr, nullptr))
            return false;
        // What a player's pipeline is built of (playback, conversion and the core elements).
        for (const char* element : {"uridecodebin", "videoconvert", "videoscale", "audioconvert", "audioresample",
                                    "volume", "input-selector", "queue", "tee", "identity", "fakesink"}) {
            void* factory = find(element);
            if (!factory)
                return false;
            unref(factory);
        }
        return true;
    }();
    return usable;
}

MovieView::MovieView(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    video_ = new QVideoWidget(this);
    layout->addWidget(video_, 1);
    auto* controls = new QHBoxLayout;
    play_ = new QPushButton(tr("Play"), this);
    position_ = new QSlider(Qt::Horizontal, this);
    controls->addWidget(play_);
    controls->addWidget(position_, 1);
    layout->addLayout(controls);
    timeout_.setSingleShot(true);
    timeout_.setInterval(LoadTimeoutMs);
    connect(&timeout_, &QTimer::timeout, this, [this] { answer(false); });
}

MovieView::~MovieView()
{
    stop();
}

void MovieView::makePlayer()
{
    // Made on first use: starting the multimedia backend costs time that a window showing
    // only PDFs need not pay.
    if (player_)
        return;
    player_ = new QMediaPlayer(this);
    audio_ = new QAudioOutput(this);
    player_->setAudioOutput(audio_);
    player_->setVideoOutput(video_);
    connect(player_, &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error error, const QString&) {
        if (error != QMediaPlayer::NoError)
            answer(false);
    });
    connect(player_, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::InvalidMedia)
            answer(false);
        else if (status == QMediaPlayer::LoadedMedia || status == QMediaPlayer::BufferedMedia)
            answer(true);
    });
    connect(player_, &QMediaPlayer::playbackStateChanged, this, [this](QMediaPlayer::PlaybackState state) {
        play_->setText(state == QMediaPlayer::PlayingState ? tr("Pause") : tr("Play"));
    });
    connect(player_, &QMediaPlayer::durationChanged, this,
            [this](qint64 ms) { position_->setRange(0, int(std::min<qint64>(ms, INT_MAX))); });
    connect(player_, &QMediaPlayer::positionChanged, this, [this](qint64 ms) {
        if (!position_->isSliderDown())
            position_->setValue(int(std::min<qint64>(ms, INT_MAX)));
    });
    connect(position_, &QSlider::sliderMoved, player_, [this](int ms) { player_->setPosition(ms); });
    connect(play_, &QPushButton::clicked, player_, [this] {
        if (player_->playbackState() == QMediaPlayer::PlayingState)
            player_->pause();
        else
            player_->play();
    });
}

void MovieView::tryFile(const QUrl& url)
{
    stop();
    waiting_ = true;
    if (!backendUsable()) {
        QTimer::singleShot(0, this, [this] { answer(false); });
        return;
    }
    makePlayer();
    if (!player_->isAvailable()) {
        // No backend on this system: fail after this turn, the way a player would.
        QTimer::singleShot(0, this, [this] { answer(false); });
        return;
    }
    timeout_.start();
    player_->setSource(url);
}

void MovieView::stop()
{
    waiting_ = false;
    timeout_.stop();
    if (player_) {
        player_->stop();
        player_->setSource(QUrl());
    }
}

void MovieView::answer(bool ok)
{
    if (!waiting_)
        return;
    waiting_ = false;
    timeout_.stop();
    if (ok) {
        emit playable();
        return;
    }
    if (player_) {
        player_->stop();
        player_->setSource(QUrl());
    }
    emit failed();
}

} // namespace folivo::gui
