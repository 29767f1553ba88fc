// The window the X11 typing tests type into: two fields, as a login form has. It says
// "ready <window id>" once its window is shown and has the keyboard, and on Return in either
// field it writes both fields as UTF-8 hex ("fields:<hex>:<hex>", so that what was typed,
// usually a test secret, never stands in the test's output as it is) and quits.

#include <QApplication>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>

namespace {

class Target : public QWidget {
public:
    Target()
    {
        auto* layout = new QVBoxLayout(this);
        first_ = new QLineEdit(this);
        second_ = new QLineEdit(this);
        layout->addWidget(first_);
        layout->addWidget(second_);
        for (QLineEdit* field : {first_, second_})
            connect(field, &QLineEdit::returnPressed, this, &Target::report);
        setWindowTitle(QStringLiteral("typing target"));
        resize(360, 120);
        first_->setFocus();
    }

protected:
    bool event(QEvent* e) override
    {
        const bool handled = QWidget::event(e);
        if (!saidReady_ && e->type() == QEvent::WindowActivate && isActiveWindow()) {
            saidReady_ = true;
            std::printf("ready %llu\n", static_cast<unsigned long long>(winId()));
            std::fflush(stdout);
        }
        return handled;
    }

private:
    void report()
    {
        std::printf("fields:%s:%s\n", first_->text().toUtf8().toHex().constData(),
                    second_->text().toUtf8().toHex().constData());
        std::fflush(stdout);
        QApplication::quit();
    }

    QLineEdit* first_;
    QLineEdit* second_;
    bool saidReady_ = false;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Target target;
    target.show();
    target.activateWindow();
    return app.exec();
}
