#pragma once

#include <QByteArray>
#include <QList>

// iCalendar text split into content lines and components without reading
// their values, so everything the app does not edit is written back byte for
// byte: unknown components and parameters, multi-valued parameters, the
// original folding.
namespace IcsText {

// A property (one logical line with its folded continuations) or a whole
// nested component, with its original line ends.
struct Item {
    QByteArray name; // upper-case property name, or the component's name
    QByteArray text;
    bool component = false;
    // For components: the raw value of their own first UID line, if any.
    QByteArray uid;
};

// One component: its BEGIN line, what it holds and its END line.
struct Component {
    QByteArray begin;
    QList<Item> items;
    QByteArray end;
    QByteArray join() const;
};

// A document: the first calendar's own properties and every component at the
// top level of any calendar in it, or outside one, in order.
struct Document {
    QList<Item> properties;
    QList<Item> components;
};

Document splitDocument(const QByteArray& bytes);
Component splitComponent(const QByteArray& text);
// `text` ending with a line break.
QByteArray terminated(const QByteArray& text);

}
