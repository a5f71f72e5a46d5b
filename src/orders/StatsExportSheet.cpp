#include "StatsExportSheet.h"

#include "orderbook/OrderManager.h"
#include "orders/CsvExportFile.h"
#include "platform/Log.h"
#include "ui/AppTheme.h"
#include "ui/DateField.h"
#include "ui/Fonts.h"
#include "ui/PlateButton.h"
#include "ui/ThemeObserver.h"
#include "ui/ThemedLabel.h"

#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QVBoxLayout>

namespace {

QString chooseWithDialog(QWidget* parent, const QString& proposedName)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QStringLiteral("CSV 文件 (*.csv)"));
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setDirectory(StatsExportSheet::startFolder());
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

void warnWithBox(QWidget* parent, const QString& message)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("导出失败"), message, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

StatsExportSheet::FileChooser& chooser()
{
    static StatsExportSheet::FileChooser c = chooseWithDialog;
    return c;
}

StatsExportSheet::Warner& warner()
{
    static StatsExportSheet::Warner w = warnWithBox;
    return w;
}

// The pickers take the sheet's theme, not the desktop's.
void styleDateEdit(DateField* edit)
{
    const QColor text = AppTheme::textPrimary();
    const QColor field = AppTheme::searchBackground();
    edit->setStyleSheet(QStringLiteral("QDateEdit { color: %1; background: %2; border: none; border-radius: 6px;"
                                       " padding: 4px 8px; }")
                            .arg(text.name(), field.name()));
}

}

void StatsExportSheet::setFileChooser(FileChooser c)
{
    chooser() = c ? std::move(c) : FileChooser(chooseWithDialog);
}

void StatsExportSheet::setWarner(Warner w)
{
    warner() = w ? std::move(w) : Warner(warnWithBox);
}

StatsExportSheet::StatsExportSheet(OrderManager& store, const QDate& start, const QDate& end, QWidget* parent)
    : SheetDialog(QStringLiteral("导出档期+收入明细"), parent, &AppTheme::background)
    , m_store(store)
{
    setObjectName(QStringLiteral("statsExportSheet"));
    auto* fields = new QVBoxLayout;
    fields->setSpacing(8);
    auto label = [this](const QString& text) {
        return new ThemedLabel(text, Fonts::system(12),
                               [] { return AppTheme::withOpacity(AppTheme::textPrimary(), 0.6); }, this);
    };
    auto picker = [this](const QDate& date, const char* name) {
        auto* edit = new DateField(date, this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setFont(Fonts::system(13));
        styleDateEdit(edit);
        connect(&ThemeObserver::shared(), &ThemeObserver::styleChanged, edit, [edit] { styleDateEdit(edit); });
        return edit;
    };
    fields->addWidget(label(QStringLiteral("开始日期")));
    fields->addWidget(m_start = picker(start, "exportStartDate"));
    fields->addWidget(label(QStringLiteral("结束日期")));
    fields->addWidget(m_end = picker(end, "exportEndDate"));
    body()->addLayout(fields);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    PlateButton* cancel = cancelButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("exportCancelButton"));
    PlateButton* exportButton = confirmButton(QStringLiteral("导出CSV"), this);
    exportButton->setObjectName(QStringLiteral("exportCsvButton"));
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    buttons->addWidget(exportButton);
    buttons->addStretch(1);
    body()->addLayout(buttons);
    connect(cancel, &QAbstractButton::clicked, this, &QDialog::reject);
    connect(exportButton, &QAbstractButton::clicked, this, &StatsExportSheet::exportCSVToFile);
}

QDate StatsExportSheet::startDate() const
{
    return m_start->date();
}

QDate StatsExportSheet::endDate() const
{
    return m_end->date();
}

void StatsExportSheet::setRange(const QDate& start, const QDate& end)
{
    m_start->showDate(start);
    m_end->showDate(end);
}

void StatsExportSheet::exportCSVToFile()
{
    // The button takes no focus: a day still being typed is entered first,
    // and one that is no day stops the export where its refusal shows.
    const bool startEntered = m_start->finishEntry();
    if (!m_end->finishEntry() || !startEntered)
        return;
    // The orders as they stand at the press, not after the file dialog.
    const QString text = m_store.exportCSV(startDate(), endDate());
    const QString path = chooser()(this, CsvExportFile::proposedName(startDate(), endDate()));
    if (!path.isEmpty()) {
        QString error;
        if (!CsvExportFile::write(path, text, &error)) {
            Log::line(QStringLiteral("❌ 导出CSV失败: ") + path + QStringLiteral(" ") + error);
            warner()(this, QStringLiteral("导出失败：") + error);
        }
    }
    accept();
}

QString StatsExportSheet::startFolder()
{
    // The process's working folder means nothing to a user: offer the
    // desktop where there is one, else the home folder.
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && desktop != QDir::homePath() && QDir(desktop).exists())
        return desktop;
    return QDir::homePath();
}
