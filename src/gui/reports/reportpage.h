#pragma once
// The report page of the attributes area for a smart folder: four value lines (an attribute,
// or two joined by an operator), which files by date, the decimal places and the date
// format. A change of a control is stored on the folder when the database can change; the
// report follows the controls either way.

#include "reports/reportcriteria.h"

#include <QStringList>
#include <QWidget>
#include <array>

class QComboBox;
class QLabel;

namespace folivo {
class MyDocument;
}

namespace folivo::gui {

class ReportPage : public QWidget {
    Q_OBJECT
public:
    explicit ReportPage(MyDocument& doc, QWidget* parent = nullptr);

    // Fills the controls from the folder's definition (none: the defaults, an empty page).
    void showFolder(const QString& path, bool editable);
    QString folderPath() const { return folder_; }
    // What the controls say.
    ReportCriteria criteria() const;
    // Shows or hides the line that says why there is no report.
    void setWarningShown(bool shown);

    QComboBox* attribute1(int line) const { return lines_[std::size_t(line)].attribute1; }
    QComboBox* operatorMenu(int line) const { return lines_[std::size_t(line)].op; }
    QComboBox* attribute2(int line) const { return lines_[std::size_t(line)].attribute2; }
    QComboBox* datesMenu() const { return dates_; }
    QComboBox* precisionMenu() const { return precision_; }
    QComboBox* dateFormatMenu() const { return format_; }
    QLabel* warning() const { return warning_; }

signals:
    // A control changed (the definition was stored when it could be).
    void criteriaChanged(const QString& folderPath);

private:
    struct Line {
        QComboBox* attribute1 = nullptr;
        QComboBox* op = nullptr;
        QComboBox* attribute2 = nullptr;
    };
    void fillNames(QComboBox* box, const QString& current);
    void operatorChanged(int line, bool focus);
    void controlChanged();

    MyDocument& doc_;
    QString folder_;
    bool editable_ = false;
    bool loading_ = false;
    std::array<Line, ReportCriteria::LineCount> lines_;
    QComboBox* dates_;
    QComboBox* precision_;
    QComboBox* format_;
    QLabel* warning_;
};

} // namespace folivo::gui
