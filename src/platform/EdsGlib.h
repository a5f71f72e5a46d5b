#pragma once

// The calendar service's C libraries for the store's own files, with owners
// for their objects.

#include <QList>
#include <QString>

#include <memory>

// Qt's keyword macros clash with GLib's member names.
#undef signals
#include <libecal/libecal.h>
#include <libedataserver/libedataserver.h>

namespace EdsGlib {
struct GObjectDeleter {
    void operator()(gpointer object) const
    {
        if (object)
            g_object_unref(object);
    }
};
template <typename T>
using GPtr = std::unique_ptr<T, GObjectDeleter>;

struct GErrorHolder {
    GError* error = nullptr;
    ~GErrorHolder() { g_clear_error(&error); }
    GError** out() { return &error; }
    QString text() const { return error ? QString::fromUtf8(error->message) : QString(); }
};

inline QString takeText(gchar* text)
{
    const QString out = QString::fromUtf8(text);
    g_free(text);
    return out;
}

inline QList<ESource*> listSources(ESourceRegistry* registry, const char* extension)
{
    QList<ESource*> out;
    GList* list = e_source_registry_list_enabled(registry, extension);
    for (GList* l = list; l; l = l->next)
        out.append(E_SOURCE(l->data));
    g_list_free(list); // the caller owns the references now
    return out;
}

inline void unrefAll(const QList<ESource*>& sources)
{
    for (ESource* s : sources)
        g_object_unref(s);
}

inline QString backendName(ESource* source, const char* extension)
{
    if (!e_source_has_extension(source, extension))
        return {};
    return QString::fromUtf8(e_source_backend_get_backend_name(E_SOURCE_BACKEND(e_source_get_extension(source, extension))));
}
}
