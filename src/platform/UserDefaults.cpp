#include "UserDefaults.h"

#include "Log.h"
#include "Paths.h"
#include "SetAsideFiles.h"
#include "UserDefaultsFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QUrl>

#include <cmath>
#include <cstring>

// File format: {"key": <tagged value>, ...} where a tagged value is
// {"type": T, "value": V}. Lists and dictionaries hold tagged values too, so
// every type survives a restart exactly. Bytes that are valid UTF-8 are kept
// as readable text ("utf8"), other bytes as base64.

namespace {

bool isValidUtf8(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

std::optional<QJsonValue> encode(const QVariant& v)
{
    auto tagged = [](const char* type, const QJsonValue& value) {
        return QJsonValue(QJsonObject{{"type", type}, {"value", value}});
    };
    switch (v.typeId()) {
    case QMetaType::QString:
        return tagged("string", v.toString());
    case QMetaType::Bool:
        return tagged("bool", v.toBool());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::UShort:
        // As text: a 64-bit integer does not fit a JSON double exactly.
        return tagged("int", QString::number(v.toLongLong()));
    case QMetaType::ULongLong:
    case QMetaType::ULong:
        if (v.toULongLong() > quint64(std::numeric_limits<qint64>::max()))
            return std::nullopt;
        return tagged("int", QString::number(v.toLongLong()));
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        if (!std::isfinite(d))
            return std::nullopt;
        return tagged("double", d);
    }
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        if (!dt.isValid())
            return std::nullopt;
        return tagged("date", dt.toUTC().toString(Qt::ISODateWithMs));
    }
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        if (isValidUtf8(b))
            return tagged("utf8", QString::fromUtf8(b));
        return tagged("data", QString::fromLatin1(b.toBase64()));
    }
    case QMetaType::QUrl:
        return tagged("url", v.toUrl().toString(QUrl::FullyEncoded));
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        QJsonArray arr;
        for (const QVariant& item : v.toList()) {
            auto e = encode(item);
            if (!e)
                return std::nullopt;
            arr.append(*e);
        }
        return tagged("list", arr);
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        QJsonObject obj;
        const QVariantMap map = v.toMap();
        for (auto it = map.begin(); it != map.end(); ++it) {
            auto e = encode(it.value());
            if (!e)
                return std::nullopt;
            obj.insert(it.key(), *e);
        }
        return tagged("dict", obj);
    }
    default:
        return std::nullopt;
    }
}

std::optional<QVariant> decode(const QJsonValue& j)
{
    if (!j.isObject())
        return std::nullopt;
    const QJsonObject o = j.toObject();
    const QString type = o.value("type").toString();
    const QJsonValue value = o.value("value");
    if (type == "string" && value.isString())
        return QVariant(value.toString());
    if (type == "bool" && value.isBool())
        return QVariant(value.toBool());
    if (type == "int" && value.isString()) {
        bool ok = false;
        const qint64 n = value.toString().toLongLong(&ok);
        if (!ok)
            return std::nullopt;
        return QVariant(n);
    }
    if (type == "double" && value.isDouble())
        return QVariant(value.toDouble());
    if (type == "date" && value.isString()) {
        const QDateTime dt = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
        if (!dt.isValid())
            return std::nullopt;
        return QVariant(dt);
    }
    if (type == "utf8" && value.isString())
        return QVariant(value.toString().toUtf8());
    if (type == "data" && value.isString()) {
        auto r = QByteArray::fromBase64Encoding(value.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!r)
            return std::nullopt;
        return QVariant(*r);
    }
    if (type == "url" && value.isString())
        return QVariant(QUrl(value.toString()));
    if (type == "list" && value.isArray()) {
        QVariantList list;
        for (const QJsonValue& item : value.toArray()) {
            auto d = decode(item);
            if (!d)
                return std::nullopt;
            list.append(*d);
        }
        return QVariant(list);
    }
    if (type == "dict" && value.isObject()) {
        QVariantMap map;
        const QJsonObject obj = value.toObject();
        for (auto it = obj.begin(); it != obj.end(); ++it) {
            auto d = decode(it.value());
            if (!d)
                return std::nullopt;
            map.insert(it.key(), *d);
        }
        return QVariant(map);
    }
    return std::nullopt;
}

// {"type": "utf8", "value": text} and nothing else, the text without lone
// surrogates: its bytes turn back into the same text, so the one-pass
// encoder gives the text the file held.
bool isPlainUtf8Value(const QJsonValue& j)
{
    const QJsonObject o = j.toObject();
    if (o.size() != 2 || o.value("type").toString() != QLatin1String("utf8") || !o.value("value").isString())
        return false;
    const QString text = o.value("value").toString();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            return false;
    }
    return true;
}

// Compact JSON text of one value (QJsonDocument only takes arrays and objects).
QByteArray jsonText(const QJsonValue& v)
{
    const QByteArray wrapped = QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
    return wrapped.mid(1, wrapped.size() - 2);
}

bool isPieces(const QVariant& v)
{
    return v.metaType() == QMetaType::fromType<UserDefaults::Pieces>();
}

// What readers see of a stored value: Pieces joined.
QVariant readable(const QVariant& v)
{
    return isPieces(v) ? QVariant(v.value<UserDefaults::Pieces>().joined()) : v;
}

// The same bytes in the same buffer: an item handed over again unchanged.
bool sameBuffer(const QByteArray& a, const QByteArray& b)
{
    return a.constData() == b.constData() && a.size() == b.size();
}

QList<QByteArrayView> views(const UserDefaults::Pieces& pieces)
{
    QList<QByteArrayView> out;
    out.reserve(pieces.items.size() * 2 + 1);
    out.append(pieces.head);
    for (qsizetype i = 0; i < pieces.items.size(); ++i) {
        if (i > 0)
            out.append(pieces.separator);
        out.append(pieces.items[i]);
    }
    out.append(pieces.tail);
    return out;
}

// Whether two lists of pieces join to the same bytes; runs in one buffer
// on both sides are not compared.
bool sameBytes(const QList<QByteArrayView>& a, const QList<QByteArrayView>& b)
{
    auto total = [](const QList<QByteArrayView>& list) {
        qsizetype size = 0;
        for (QByteArrayView v : list)
            size += v.size();
        return size;
    };
    if (total(a) != total(b))
        return false;
    qsizetype i = 0, j = 0, atA = 0, atB = 0;
    while (true) {
        while (i < a.size() && atA == a[i].size())
            ++i, atA = 0;
        while (j < b.size() && atB == b[j].size())
            ++j, atB = 0;
        if (i == a.size() || j == b.size())
            return i == a.size() && j == b.size();
        const qsizetype n = std::min(a[i].size() - atA, b[j].size() - atB);
        const char* p = a[i].data() + atA;
        const char* q = b[j].data() + atB;
        if (p != q && std::memcmp(p, q, size_t(n)) != 0)
            return false;
        atA += n;
        atB += n;
    }
}

bool isNumber(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Long: case QMetaType::ULong: case QMetaType::Short: case QMetaType::UShort:
    case QMetaType::Double: case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

}

QByteArray UserDefaults::Pieces::joined() const
{
    qsizetype size = head.size() + tail.size() + std::max<qsizetype>(0, items.size() - 1) * separator.size();
    for (const QByteArray& item : items)
        size += item.size();
    QByteArray out;
    out.reserve(size);
    out.append(head);
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i > 0)
            out.append(separator);
        out.append(items[i]);
    }
    out.append(tail);
    return out;
}

std::optional<QByteArray> UserDefaults::fastEncodedText(const QByteArray& bytes)
{
    const qsizetype n = bytes.size();
    const auto* p = bytes.constData();
    const std::optional<qsizetype> escapes = UserDefaultsFile::plainTextEscapes(p, n);
    if (!escapes)
        return std::nullopt;
    return UserDefaultsFile::plainTextValue(p, n, *escapes);
}

std::optional<QByteArray> UserDefaults::encodedText(const QVariant& value)
{
    const std::optional<QJsonValue> encoded = encode(value);
    if (!encoded)
        return std::nullopt;
    return jsonText(*encoded);
}

UserDefaults& UserDefaults::standard()
{
    static UserDefaults* instance = new UserDefaults(Paths::configDir() + "/defaults.json");
    return *instance;
}

UserDefaults::UserDefaults(const QString& filePath, QObject* parent)
    : QObject(parent)
    , m_path(filePath)
{
    load();
}

namespace {

// Today's reading of the members of a parsed file, all or nothing.
bool decodeMembers(const QJsonObject& root, UserDefaults::Contents& contents)
{
    for (auto it = root.begin(); it != root.end(); ++it) {
        auto v = decode(it.value());
        if (!v)
            return false;
        // Large lists are stored as text bytes: escaping them again in
        // one pass spares a round through QJsonDocument.
        std::optional<QByteArray> text;
        if (isPlainUtf8Value(it.value()))
            text = UserDefaults::fastEncodedText(v->toByteArray());
        if (text)
            contents.plainText.insert(it.key());
        contents.values.insert(it.key(), *v);
        contents.encoded.insert(it.key(), text ? std::move(*text) : jsonText(it.value()));
    }
    return true;
}

std::optional<QJsonObject> parseObject(const QByteArray& bytes)
{
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    return doc.object();
}

}

std::optional<UserDefaults::Contents> UserDefaults::readGeneral(const QByteArray& file)
{
    const std::optional<QJsonObject> root = parseObject(file);
    Contents contents;
    if (!root || !decodeMembers(*root, contents))
        return std::nullopt;
    return contents;
}

std::optional<UserDefaults::Contents> UserDefaults::readFast(const QByteArray& file)
{
    const auto members = UserDefaultsFile::split(file);
    if (!members)
        return std::nullopt;
    // The text values are taken as they lie; the small rest goes through the
    // general reader as one object, so it reads exactly as it always did.
    Contents contents;
    QByteArray rest = "{";
    QSet<QString> keys;
    for (const UserDefaultsFile::Member& member : *members) {
        const QString key = QString::fromUtf8(member.key);
        if (keys.contains(key))
            return std::nullopt; // which one wins is the general reader's call
        keys.insert(key);
        if (member.text) {
            contents.values.insert(key, *member.text);
            contents.encoded.insert(key, member.encoded);
            contents.plainText.insert(key);
            continue;
        }
        if (rest.size() > 1)
            rest += ',';
        rest += '"' + member.key + "\":" + member.encoded;
    }
    rest += '}';
    const std::optional<QJsonObject> root = parseObject(rest);
    if (!root || root->size() != keys.size() - contents.encoded.size() || !decodeMembers(*root, contents))
        return std::nullopt;
    return contents;
}

void UserDefaults::load()
{
    QFile file(m_path);
    if (!file.exists())
        return;
    QByteArray bytes;
    const bool readable = file.open(QIODevice::ReadOnly);
    if (readable)
        bytes = file.readAll();
    file.close();

    std::optional<Contents> contents;
    if (readable) {
        contents = readFast(bytes);
        if (!contents)
            contents = readGeneral(bytes);
    }
    if (contents) {
        m_values = std::move(contents->values);
        m_encoded = std::move(contents->encoded);
        m_plainText = std::move(contents->plainText);
        return;
    }
    // Never overwrite what we cannot read: keep it aside and start empty.
    const QString aside = m_path + ".unreadable-" + QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
    if (QFile::rename(m_path, aside))
        SetAsideFiles::record(SetAsideFiles::Kind::settings, m_path, aside);
    Log::line(QString("⚠️ [设置] 无法读取设置文件，已另存为: %1").arg(aside));
}

QVariant UserDefaults::object(const QString& key) const
{
    QReadLocker lock(&m_lock);
    auto it = m_values.constFind(key);
    if (it != m_values.constEnd())
        return readable(*it);
    return m_defaults.value(key);
}

bool UserDefaults::holds(const QString& key, const Pieces& pieces) const
{
    QReadLocker lock(&m_lock);
    const auto it = m_values.constFind(key);
    if (it == m_values.constEnd())
        return false;
    if (isPieces(*it)) {
        const Pieces stored = it->value<Pieces>();
        const bool sameShape = stored.head == pieces.head && stored.separator == pieces.separator
            && stored.tail == pieces.tail && stored.items.size() == pieces.items.size();
        if (!sameShape)
            return sameBytes(views(stored), views(pieces));
        for (qsizetype i = 0; i < stored.items.size(); ++i) {
            if (!sameBuffer(stored.items[i], pieces.items[i]) && stored.items[i] != pieces.items[i])
                return false;
        }
        return true;
    }
    return it->typeId() == QMetaType::QByteArray && sameBytes({it->toByteArray()}, views(pieces));
}

bool UserDefaults::hasStoredValue(const QString& key) const
{
    QReadLocker lock(&m_lock);
    return m_values.contains(key);
}

bool UserDefaults::toBool(const QVariant& v)
{
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    if (isNumber(v))
        return v.toDouble() != 0.0;
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed().toLower();
        if (s == "yes" || s == "true")
            return true;
        bool ok = false;
        const qint64 n = s.toLongLong(&ok);
        return ok && n != 0;
    }
    return false;
}

qint64 UserDefaults::toInteger(const QVariant& v)
{
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? 1 : 0;
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
        const double d = v.toDouble();
        if (!std::isfinite(d) || d >= 9.2e18 || d <= -9.2e18)
            return 0;
        return qint64(d);
    }
    if (isNumber(v))
        return v.toLongLong();
    if (v.typeId() == QMetaType::QString) {
        bool ok = false;
        const qint64 n = v.toString().trimmed().toLongLong(&ok);
        if (ok)
            return n;
        const double d = v.toString().trimmed().toDouble(&ok);
        return ok && std::isfinite(d) && std::fabs(d) < 9.2e18 ? qint64(d) : 0;
    }
    return 0;
}

double UserDefaults::toDouble(const QVariant& v)
{
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? 1.0 : 0.0;
    if (isNumber(v))
        return v.toDouble();
    if (v.typeId() == QMetaType::QString) {
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        return ok && std::isfinite(d) ? d : 0.0;
    }
    return 0.0;
}

std::optional<QString> UserDefaults::string(const QString& key) const
{
    const QVariant v = object(key);
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', 17);
    if (isNumber(v))
        return QString::number(v.toLongLong());
    return std::nullopt;
}

bool UserDefaults::value(const PreferenceKey<bool>& key) const
{
    const QVariant v = object(key);
    return v.isValid() ? toBool(v) : key.defaultValue;
}

qint64 UserDefaults::value(const PreferenceKey<int>& key) const
{
    const QVariant v = object(key);
    return v.isValid() ? toInteger(v) : key.defaultValue;
}

QString UserDefaults::value(const PreferenceKey<QString>& key) const
{
    return string(key).value_or(key.defaultValue);
}

qint64 UserDefaults::integer(const QString& key) const { return toInteger(object(key)); }
double UserDefaults::doubleValue(const QString& key) const { return toDouble(object(key)); }
bool UserDefaults::boolean(const QString& key) const { return toBool(object(key)); }

std::optional<QDateTime> UserDefaults::date(const QString& key) const
{
    const QVariant v = object(key);
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime();
    return std::nullopt;
}

std::optional<QByteArray> UserDefaults::data(const QString& key) const
{
    const QVariant v = object(key);
    if (v.typeId() == QMetaType::QByteArray)
        return v.toByteArray();
    return std::nullopt;
}

std::optional<QUrl> UserDefaults::url(const QString& key) const
{
    const QVariant v = object(key);
    if (v.typeId() == QMetaType::QUrl)
        return v.toUrl();
    if (v.typeId() == QMetaType::QString) {
        // A plain path reads as a file URL, as on the first platform.
        const QString s = v.toString();
        if (s.startsWith('/') || s.startsWith('~'))
            return QUrl::fromLocalFile(s);
        const QUrl u(s);
        if (u.isValid() && !u.scheme().isEmpty())
            return u;
    }
    return std::nullopt;
}

std::optional<QVariantList> UserDefaults::array(const QString& key) const
{
    const QVariant v = object(key);
    if (v.typeId() == QMetaType::QVariantList || v.typeId() == QMetaType::QStringList)
        return v.toList();
    return std::nullopt;
}

std::optional<QVariantMap> UserDefaults::dictionary(const QString& key) const
{
    const QVariant v = object(key);
    if (v.typeId() == QMetaType::QVariantMap || v.typeId() == QMetaType::QVariantHash)
        return v.toMap();
    return std::nullopt;
}

struct UserDefaults::Prepared
{
    QVariant value;    // as kept in memory: integers widened, string lists as lists
    QByteArray text;   // its JSON text
    bool plain = false; // the text is the one-pass text of bytes
    std::optional<PiecedText> pieced; // a Pieces value's text, `text` then empty
};

std::optional<UserDefaults::PiecedText> UserDefaults::preparePieces(const Pieces& pieces, const Pieces* previous,
                                                                  const PiecedText* previousText)
{
    using UserDefaultsFile::escapedPlainText;
    const auto head = escapedPlainText(pieces.head);
    const auto separator = escapedPlainText(pieces.separator);
    const auto tail = escapedPlainText(pieces.tail);
    if (!head || !separator || !tail)
        return std::nullopt;
    PiecedText text{UserDefaultsFile::plainTextHead() + *head, {}, separator->size(),
                    *tail + UserDefaultsFile::plainTextTail()};
    text.items.reserve(pieces.items.size());

    // Walk the previous items alongside, stepping over one that went; only
    // after a miss that was no edit (several went) look items up by buffer.
    // Their texts hold the separator they were escaped after.
    const QList<QByteArray> none;
    const bool reuse = previous && previousText && previous->separator == pieces.separator;
    const QList<QByteArray>& before = reuse ? previous->items : none;
    QHash<const char*, qsizetype> byBuffer;
    qsizetype next = 0;
    bool missed = false;
    for (const QByteArray& item : pieces.items) {
        qsizetype found = -1;
        if (next < before.size() && sameBuffer(before[next], item)) {
            found = next;
        } else if (next + 1 < before.size() && sameBuffer(before[next + 1], item)) {
            found = next + 1;
        } else if (missed && !before.isEmpty()) {
            if (byBuffer.isEmpty()) {
                byBuffer.reserve(before.size());
                for (qsizetype k = 0; k < before.size(); ++k)
                    byBuffer.insert(before[k].constData(), k);
            }
            const auto it = byBuffer.constFind(item.constData());
            if (it != byBuffer.constEnd() && before[*it].size() == item.size())
                found = *it;
        }
        missed = found < 0;
        if (!missed) {
            text.items.append(previousText->items[found]);
            next = found + 1;
            continue;
        }
        auto escaped = escapedPlainText(item, *separator);
        if (!escaped)
            return std::nullopt;
        text.items.append(std::move(*escaped));
    }
    return text;
}

// None when the store cannot hold the value. `previous`, when given, is a
// byte value with its one-pass text: whatever the new bytes share with it at
// both ends is not checked or escaped again.
std::optional<UserDefaults::Prepared> UserDefaults::prepare(const QVariant& value,
                                                          const std::pair<QByteArray, QByteArray>* previous)
{
    if (value.typeId() == QMetaType::QByteArray) {
        const QByteArray bytes = value.toByteArray();
        auto text = previous ? UserDefaultsFile::editedPlainText(previous->first, previous->second, bytes)
                             : UserDefaults::fastEncodedText(bytes);
        if (text)
            return Prepared{value, std::move(*text), true, {}};
    }
    const std::optional<QJsonValue> encoded = encode(value);
    if (!encoded)
        return std::nullopt;
    QVariant normalized = value;
    switch (value.typeId()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::Long: case QMetaType::ULong:
    case QMetaType::Short: case QMetaType::UShort: case QMetaType::ULongLong:
        normalized = QVariant(value.toLongLong());
        break;
    case QMetaType::Float:
        normalized = QVariant(value.toDouble());
        break;
    case QMetaType::QStringList:
        normalized = QVariant(value.toList());
        break;
    case QMetaType::QVariantHash:
        normalized = QVariant(value.toMap());
        break;
    default:
        break;
    }
    return Prepared{normalized, jsonText(*encoded), false, {}};
}

std::optional<UserDefaults::Prepared> UserDefaults::prepareValue(const QString& key, const QVariant& value) const
{
    if (isPieces(value)) {
        const Pieces pieces = value.value<Pieces>();
        std::optional<Pieces> previous;
        std::optional<PiecedText> previousText;
        {
            QReadLocker lock(&m_lock);
            if (const auto it = m_pieced.constFind(key); it != m_pieced.constEnd()) {
                previous = m_values.value(key).value<Pieces>();
                previousText = *it;
            }
        }
        if (auto text = preparePieces(pieces, previous ? &*previous : nullptr, previousText ? &*previousText : nullptr))
            return Prepared{value, {}, false, std::move(*text)};
        // Bytes only the general encoder is certain of: stored whole.
        return prepare(QVariant(pieces.joined()), nullptr);
    }
    std::optional<std::pair<QByteArray, QByteArray>> previous;
    if (value.typeId() == QMetaType::QByteArray) {
        QReadLocker lock(&m_lock);
        if (m_plainText.contains(key))
            previous.emplace(m_values.value(key).toByteArray(), m_encoded.value(key));
    }
    return prepare(value, previous ? &*previous : nullptr);
}

void UserDefaults::insertLocked(const QString& key, const Prepared& prepared)
{
    m_values.insert(key, prepared.value);
    m_encoded.insert(key, prepared.text);
    if (prepared.pieced)
        m_pieced.insert(key, *prepared.pieced);
    else
        m_pieced.remove(key);
    if (prepared.plain)
        m_plainText.insert(key);
    else
        m_plainText.remove(key);
}

void UserDefaults::removeLocked(const QString& key)
{
    m_values.remove(key);
    m_encoded.remove(key);
    m_plainText.remove(key);
    m_pieced.remove(key);
}

bool UserDefaults::set(const QString& key, const QVariant& value)
{
    if (!value.isValid())
        return remove(key);
    return setValues({{key, value}});
}

bool UserDefaults::setValues(const QVariantMap& values)
{
    QList<std::pair<QString, std::optional<Prepared>>> prepared;
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (!it.value().isValid()) {
            prepared.append({it.key(), std::nullopt});
            continue;
        }
        auto p = prepareValue(it.key(), it.value());
        if (!p) {
            Log::line(QString("⚠️ [设置] 无法保存的值，已忽略: %1").arg(it.key()));
            return false;
        }
        prepared.append({it.key(), std::move(p)});
    }
    QString failure;
    {
        QWriteLocker lock(&m_lock);
        const QVariantMap oldValues = m_values;
        const QMap<QString, QByteArray> oldEncoded = m_encoded;
        const QSet<QString> oldPlainText = m_plainText;
        const QMap<QString, PiecedText> oldPieced = m_pieced;
        for (const auto& [key, value] : prepared) {
            if (value)
                insertLocked(key, *value);
            else
                removeLocked(key);
        }
        failure = writeLocked();
        if (!failure.isEmpty()) {
            // All or nothing: memory stays what the file on disk says.
            m_values = oldValues;
            m_encoded = oldEncoded;
            m_plainText = oldPlainText;
            m_pieced = oldPieced;
        }
    }
    if (!failure.isEmpty()) {
        Q_EMIT writeFailed(failure);
        return false;
    }
    for (auto it = values.begin(); it != values.end(); ++it)
        Q_EMIT changed(it.key());
    return true;
}

bool UserDefaults::remove(const QString& key)
{
    if (!hasStoredValue(key))
        return true;
    return setValues({{key, QVariant()}});
}

void UserDefaults::registerDefaults(const QVariantMap& defaults)
{
    QStringList keys;
    {
        QWriteLocker lock(&m_lock);
        for (auto it = defaults.begin(); it != defaults.end(); ++it) {
            m_defaults.insert(it.key(), it.value());
            if (!m_values.contains(it.key()))
                keys << it.key();
        }
    }
    for (const QString& k : keys)
        Q_EMIT changed(k);
}

QVariantMap UserDefaults::dictionaryRepresentation() const
{
    QReadLocker lock(&m_lock);
    QVariantMap values = m_values;
    for (auto it = m_pieced.keyBegin(); it != m_pieced.keyEnd(); ++it)
        values.insert(*it, readable(m_values.value(*it)));
    return values;
}

bool UserDefaults::lastWriteSucceeded() const
{
    QReadLocker lock(&m_lock);
    return m_lastWriteError.isEmpty();
}

QString UserDefaults::lastWriteError() const
{
    QReadLocker lock(&m_lock);
    return m_lastWriteError;
}

QString UserDefaults::writeLocked()
{
    // One line per key, each value's text kept from when it was set: a change
    // re-encodes only its own value, and the large ones are written as they
    // are, never copied into one buffer first.
    QByteArrayList glue;
    glue.reserve(m_encoded.size() + 1);
    qsizetype count = m_encoded.size() * 2 + 1;
    for (const PiecedText& text : m_pieced)
        count += text.items.size() + 1;
    QList<QByteArrayView> pieces;
    pieces.reserve(count);
    for (auto it = m_encoded.begin(); it != m_encoded.end(); ++it) {
        glue.append((it == m_encoded.begin() ? "{\n  " : ",\n  ") + jsonText(it.key()) + ": ");
        pieces.append(glue.back());
        const auto pieced = m_pieced.constFind(it.key());
        if (pieced == m_pieced.constEnd()) {
            pieces.append(it.value());
            continue;
        }
        pieces.append(pieced->open);
        for (qsizetype i = 0; i < pieced->items.size(); ++i)
            pieces.append(QByteArrayView(pieced->items[i]).sliced(i > 0 ? 0 : pieced->separatorSize));
        pieces.append(pieced->close);
    }
    pieces.append(m_encoded.isEmpty() ? QByteArrayView("{\n\n}\n") : QByteArrayView("\n}\n"));

    // Names and phone numbers of every customer: for the user's eyes only.
    m_lastWriteError = Paths::saveAtomically(m_path, pieces, {.permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner});
    if (!m_lastWriteError.isEmpty())
        Log::line(QString("⚠️ [设置] 写入设置文件失败: %1").arg(m_lastWriteError));
    return m_lastWriteError;
}
