#pragma once

#include "platform/PreferenceKey.h"

#include <QObject>
#include <QReadWriteLock>
#include <QSet>
#include <QVariant>

#include <optional>

class QDateTime;
class QUrl;

// The one store of every preference and stored list.
//
// Values are typed: text (QString), integer (qint64), double, bool, date
// (QDateTime), bytes (QByteArray), URL (QUrl), list (QVariantList) and
// dictionary (QVariantMap), nested freely. Every change is written at once to
// one human-readable JSON file, atomically. Reads and writes are safe from any
// thread; `changed` is emitted on the writing thread after the lock is gone.
class UserDefaults : public QObject
{
    Q_OBJECT
public:
    // The store under the XDG config folder, made on first use.
    static UserDefaults& standard();

    // A store backed by `filePath` (tests, tools).
    explicit UserDefaults(const QString& filePath, QObject* parent = nullptr);

    QString filePath() const { return m_path; }

    // The stored value, else the registered default, else an invalid QVariant.
    QVariant object(const QString& key) const;
    // True only for a value actually stored (registered defaults do not count).
    bool hasStoredValue(const QString& key) const;

    // Typed reads coerce as the first platform did.
    std::optional<QString> string(const QString& key) const;
    qint64 integer(const QString& key) const;        // absent or unreadable: 0
    double doubleValue(const QString& key) const;    // absent or unreadable: 0
    bool boolean(const QString& key) const;          // absent or unreadable: false
    std::optional<QDateTime> date(const QString& key) const;
    std::optional<QByteArray> data(const QString& key) const;
    std::optional<QUrl> url(const QString& key) const;
    std::optional<QVariantList> array(const QString& key) const;
    std::optional<QVariantMap> dictionary(const QString& key) const;

    // A preference as its type reads it: the stored value, else the key's default.
    bool value(const PreferenceKey<bool>& key) const;
    qint64 value(const PreferenceKey<int>& key) const;
    QString value(const PreferenceKey<QString>& key) const;

    // Stores `value`; an invalid QVariant removes the key. Returns false, with
    // nothing changed, when the value has a type the store cannot hold or the
    // file could not be written (then `writeFailed` says why).
    bool set(const QString& key, const QVariant& value);
    bool remove(const QString& key);
    // Stores every value (an invalid one removes its key) in one write of the
    // file: all or nothing. False, with nothing changed, when a value cannot
    // be held or the file could not be written.
    bool setValues(const QVariantMap& values);

    // Bytes given as the list they join from: head, the items with
    // `separator` between them, tail (a JSON array: "[", elements, ",", "]").
    // Put into a setValues batch as QVariant::fromValue(Pieces). Readers get
    // the joined bytes and the file holds exactly the text plain bytes would
    // get; but the items are written from their own buffers, each escaped
    // once and reused while the next set hands over the same buffer, and
    // joined only when someone reads the value. Items must be whole UTF-8
    // characters and their buffers must never change.
    struct Pieces
    {
        QByteArray head;
        QList<QByteArray> items;
        QByteArray separator;
        QByteArray tail;
        QByteArray joined() const;
    };
    // Whether `key` holds exactly the bytes `pieces` join to, without joining them.
    bool holds(const QString& key, const Pieces& pieces) const;

    // Defaults every reader sees while nothing is stored under the key.
    void registerDefaults(const QVariantMap& defaults);

    // Every stored value (registered defaults excluded).
    QVariantMap dictionaryRepresentation() const;

    // Whether the last write reached the disk, and if not, why.
    bool lastWriteSucceeded() const;
    QString lastWriteError() const;

    // Coercions, shared with callers that hold a QVariant already.
    static bool toBool(const QVariant& v);
    static qint64 toInteger(const QVariant& v);
    static double toDouble(const QVariant& v);

    // The stored JSON text of one value by the general encoder; none when
    // the store cannot hold it.
    static std::optional<QByteArray> encodedText(const QVariant& value);
    // The same text for bytes kept as readable text, escaped in one pass;
    // none wherever only the general encoder is certain (bytes that are not
    // well-formed UTF-8, control characters, byte-order marks, noncharacters).
    static std::optional<QByteArray> fastEncodedText(const QByteArray& bytes);

    // What a settings file holds: the values and each one's stored text.
    struct Contents
    {
        QVariantMap values;
        QMap<QString, QByteArray> encoded;
        QSet<QString> plainText; // keys whose text is the one-pass text of their bytes
        bool operator==(const Contents&) const = default;
    };
    // Reads `file` through the JSON parser; none when it cannot be read.
    static std::optional<Contents> readGeneral(const QByteArray& file);
    // Reads the large text values in one pass and the rest as readGeneral
    // does; none wherever it is not certain to read what readGeneral reads.
    static std::optional<Contents> readFast(const QByteArray& file);

Q_SIGNALS:
    void changed(const QString& key);
    // A change could not be written and was undone; `cause` names why.
    void writeFailed(const QString& cause);

private:
    void load();
    // The cause of failure, empty once the file holds what memory holds.
    QString writeLocked();
    struct Prepared;
    // The file text of a Pieces value: the opening text with the escaped
    // head; each item escaped after the escaped separator, so an item is one
    // piece to write (the first one without the separator); the escaped tail
    // with the closing text.
    struct PiecedText
    {
        QByteArray open;
        QList<QByteArray> items;
        qsizetype separatorSize = 0;
        QByteArray close;
    };
    static std::optional<Prepared> prepare(const QVariant& value, const std::pair<QByteArray, QByteArray>* previous);
    static std::optional<PiecedText> preparePieces(const Pieces& pieces, const Pieces* previous,
                                                   const PiecedText* previousText);
    std::optional<Prepared> prepareValue(const QString& key, const QVariant& value) const;
    void insertLocked(const QString& key, const Prepared& prepared);
    void removeLocked(const QString& key);

    QString m_path;
    mutable QReadWriteLock m_lock;
    QVariantMap m_values;
    QMap<QString, QByteArray> m_encoded; // JSON text of each stored value
    QSet<QString> m_plainText;
    // The file text of values held as Pieces (their m_encoded text stays empty).
    QMap<QString, PiecedText> m_pieced;
    QVariantMap m_defaults;
    QString m_lastWriteError;
};

Q_DECLARE_METATYPE(UserDefaults::Pieces)
