#include "Symbols.h"

#include <QHash>
#include <QPainter>
#include <QPixmap>

namespace Symbols {

namespace {
// Symbol name -> Material Design Icons code point.
const QHash<QString, char32_t>& table()
{
    static const QHash<QString, char32_t> t{
        {"checkmark.circle.fill", 0xF133}, // checkbox-marked-circle
        {"checkmark.circle", 0xF134}, // checkbox-marked-circle-outline
        {"checkmark", 0xF12C}, // check
        {"checklist", 0xF5C7}, // playlist-check
        {"circle", 0xF130}, // checkbox-blank-circle-outline
        {"tray", 0xF2FB}, // inbox
        {"line.3.horizontal.decrease.circle", 0xF236}, // filter-variant
        {"line.3.horizontal", 0xF35C}, // menu
        {"chevron.right", 0xF142}, // chevron-right
        {"chevron.left", 0xF141}, // chevron-left
        {"chevron.down", 0xF140}, // chevron-down
        {"chevron.up", 0xF143}, // chevron-up
        {"chevron.up.chevron.down", 0xF54F}, // unfold-more
        {"arrow.triangle.2.circlepath", 0xF4E6}, // sync
        {"square.grid.2x2", 0xF570}, // view-grid
        {"plus.circle.fill", 0xF417}, // plus-circle
        {"plus.circle", 0xF419}, // plus-circle-outline
        {"plus", 0xF415}, // plus
        {"minus.circle.fill", 0xF376}, // minus-circle
        {"minus", 0xF374}, // minus
        {"info.circle", 0xF2FD}, // information-outline
        {"gearshape.fill", 0xF493}, // settings
        {"gearshape", 0xF493}, // settings
        {"doc.text", 0xF219}, // file-document
        {"calendar.badge.plus", 0xF0F3}, // calendar-plus
        {"calendar.badge.clock", 0xF0F0}, // calendar-clock
        {"calendar.circle", 0xF0ED}, // calendar
        {"calendar", 0xF0ED}, // calendar
        {"bell.fill", 0xF09A}, // bell
        {"bell", 0xF09C}, // bell-outline
        {"trash", 0xF1C0}, // delete
        {"square.and.arrow.up", 0xF207}, // export
        {"square.and.arrow.down", 0xF1DA}, // download
        {"play.fill", 0xF40A}, // play
        {"person.fill", 0xF004}, // account
        {"person.crop.circle", 0xF009}, // account-circle
        {"mic.fill", 0xF36C}, // microphone
        {"mic", 0xF36E}, // microphone-outline
        {"house.fill", 0xF2DC}, // home
        {"exclamationmark.triangle.fill", 0xF026}, // alert
        {"dollarsign.circle", 0xF1B3}, // currency-usd
        {"clock", 0xF150}, // clock-outline
        {"clock.arrow.circlepath", 0xF2DA}, // history
        {"chart.bar", 0xF128}, // chart-bar
        {"chart.bar.fill", 0xF128}, // chart-bar
        {"arrow.down.circle.fill", 0xF047}, // arrow-down-bold-circle
        {"arrow.down.circle", 0xF048}, // arrow-down-bold-circle-outline
        {"xmark.circle.fill", 0xF159}, // close-circle
        {"xmark", 0xF156}, // close
        {"wand.and.stars", 0xF068}, // auto-fix
        {"sun.max", 0xF5A8}, // white-balance-sunny
        {"moon.zzz", 0xF4B2}, // sleep
        {"photo.on.rectangle.angled", 0xF2F9}, // image-multiple
        {"list.bullet.rectangle", 0xF27A}, // format-list-bulleted-type
        {"list.bullet", 0xF279}, // format-list-bulleted
        {"checklist", 0xF14C}, // clipboard-check
        {"icloud.and.arrow.up", 0xF167}, // cloud-upload
        {"cloud.upload", 0xF167}, // cloud-upload
        {"exclamationmark.bubble", 0xF17D}, // comment-alert
        {"camera.fill", 0xF100}, // camera
        {"camera", 0xF100}, // camera
        {"arrow.left", 0xF04D}, // arrow-left
        {"folder", 0xF24B}, // folder
        {"folder.fill", 0xF24B}, // folder
        {"lock", 0xF33E}, // lock
        {"magnifyingglass", 0xF349}, // magnify
        {"network", 0xF317}, // lan
        {"wifi", 0xF5A9}, // wifi
        {"pencil", 0xF3EB}, // pencil
        {"laptopcomputer", 0xF322}, // laptop
        {"externaldrive", 0xF2CA}, // harddisk
        {"sdcard", 0xF479}, // sd
        {"film", 0xF230}, // filmstrip
        {"video", 0xF567}, // video
        {"questionmark.circle", 0xF2D7}, // help-circle
        {"paperplane.fill", 0xF48A}, // send
        {"envelope", 0xF1EE}, // email
        {"star.fill", 0xF4CE}, // star
        {"heart.fill", 0xF2D1}, // heart
        {"bolt.fill", 0xF241}, // flash
        {"stop.fill", 0xF4DB}, // stop
        {"eye", 0xF208}, // eye
        {"lock.fill", 0xF33E}, // lock
        {"person.2", 0xF00E}, // account-multiple
        {"doc.on.doc", 0xF18F}, // content-copy
        {"arrow.clockwise", 0xF450}, // refresh
        {"scissors", 0xF190}, // content-cut
        {"photo", 0xF2E9}, // image
        {"tray.and.arrow.down", 0xF2FB}, // inbox
        {"square.split.2x1", 0xF56D}, // view-column
        {"trash.circle.fill", 0xF5E8}, // delete-forever
        {"arrow.right.doc.on.clipboard", 0xF14E}, // clipboard-text
        {"sparkles", 0xF068}, // auto-fix
        {"signature", 0xF3EA}, // pen
    };
    return t;
}
constexpr char32_t kFallback = 0xF625; // help-circle-outline
}

bool isKnown(const QString& name) { return table().contains(name); }

QString glyph(const QString& name)
{
    const char32_t cp = table().value(name, kFallback);
    return QString::fromUcs4(&cp, 1);
}

QString fontFamily() { return QStringLiteral("Material Design Icons"); }

QFont font(qreal pointSize)
{
    QFont f(fontFamily());
    f.setPixelSize(qMax(1, qRound(pointSize)));
    f.setStyleStrategy(QFont::NoFontMerging);
    return f;
}

QIcon icon(const QString& name, int size, const QColor& color)
{
    // Drawn at twice the size so the glyph stays sharp on HiDPI screens.
    QPixmap pixmap(size * 2, size * 2);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(font(size));
    p.setPen(color);
    p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, glyph(name));
    p.end();
    return QIcon(pixmap);
}

}
