#pragma once
// Opening the encrypted fixture in a window: the password the manifest gives it, and the
// password sheet answered once with it.

#include "gui/guitest.h"

#include "database/passwordsheet.h"

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

namespace folivo::test {

// The password of fixture package `name` ("Encrypted.fvdb"); empty when there is none.
inline QString fixturePassword(const QString& name)
{
    return QJsonDocument::fromJson(readAll(fixturesDir() + "/manifest.json"))
        .object()
        .value(name)
        .toObject()
        .value("password")
        .toString();
}

// Types `password` into the first password sheet that shows while it lives, and presses Return.
class PasswordSheetTyper {
public:
    explicit PasswordSheetTyper(QString password) : password_(std::move(password))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* sheet = qobject_cast<gui::PasswordSheet*>(QApplication::activeModalWidget());
            if (!sheet || !sheet->isVisible())
                return;
            timer_.stop();
            sheet->passwordField()->insert(password_);
            QTest::keyClick(sheet->passwordField(), Qt::Key_Return);
        });
        timer_.start(10);
    }

private:
    QString password_;
    QTimer timer_;
};

} // namespace folivo::test
