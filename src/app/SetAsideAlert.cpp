#include "SetAsideAlert.h"

#include "orderbook/BackupManager.h"
#include "platform/Log.h"
#include "platform/SetAsideFiles.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace {
QString describe(const SetAsideFiles::Entry& entry)
{
    switch (entry.kind) {
    case SetAsideFiles::Kind::settings:
        return QStringLiteral("• 设置文件（含全部订单与设置），副本：") + entry.copy;
    case SetAsideFiles::Kind::calendar:
        return QStringLiteral("• 日历文件 %1，副本：%2").arg(QFileInfo(entry.original).fileName(), entry.copy);
    case SetAsideFiles::Kind::reminders:
        return QStringLiteral("• 待发送的提醒列表，副本：") + entry.copy;
    }
    return {};
}

QMessageBox* box(QWidget* window, QMessageBox::Icon icon, const QString& text)
{
    auto* b = new QMessageBox(icon, QStringLiteral("数据文件无法读取"), text, QMessageBox::NoButton, window);
    b->setTextFormat(Qt::PlainText);
    b->setWindowModality(Qt::WindowModal);
    b->setAttribute(Qt::WA_DeleteOnClose);
    return b;
}
}

QMessageBox* SetAsideAlert::showIfNeeded(QWidget* window)
{
    const QList<SetAsideFiles::Entry> entries = SetAsideFiles::all();
    if (entries.isEmpty())
        return nullptr;
    QStringList lines{QStringLiteral("启动时以下文件无法读取，已原样另存，没有被覆盖：")};
    for (const SetAsideFiles::Entry& e : entries)
        lines << describe(e);

    const std::optional<BackupManager::AutoBackup> backup = BackupManager::shared().newestAutoBackupWithOrders();
    if (backup) {
        lines << QString() << QStringLiteral("最近一次含订单的自动备份：%1，共 %2 个订单。恢复前会先备份当前数据。")
                                  .arg(backup->moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                                  .arg(backup->orderCount);
    }
    QMessageBox* alert = box(window, QMessageBox::Warning, lines.join(u'\n'));
    alert->setObjectName(QStringLiteral("setAsideAlert"));
    QPushButton* restore = nullptr;
    if (backup)
        restore = alert->addButton(QStringLiteral("恢复该备份"), QMessageBox::AcceptRole);
    alert->setDefaultButton(alert->addButton(QStringLiteral("知道了"), QMessageBox::RejectRole));
    const QString path = backup ? backup->path : QString();
    QObject::connect(alert, &QMessageBox::buttonClicked, window, [window, restore, path](QAbstractButton* clicked) {
        if (!restore || clicked != restore)
            return;
        Log::line(QStringLiteral("💾 开始恢复自动备份: ") + path);
        const BackupManager::ImportResult result = BackupManager::shared().importBackup(path);
        Log::line(result.success ? QStringLiteral("💾 备份导入成功") : QStringLiteral("💾 备份导入失败: ") + result.message);
        QMessageBox* outcome =
            box(window, result.success ? QMessageBox::Information : QMessageBox::Critical,
                result.success ? QStringLiteral("✅ 恢复完成\n") + result.message
                               : QStringLiteral("❌ 恢复失败：") + result.message);
        outcome->setObjectName(QStringLiteral("restoreOutcome"));
        outcome->addButton(QMessageBox::Ok);
        outcome->open();
    });
    alert->open();
    return alert;
}
