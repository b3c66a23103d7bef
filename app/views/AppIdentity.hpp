#pragma once

#include "views/Publisher.hpp"

#include <QObject>
#include <QString>

namespace cairnmoor {

// What the header, footer, menus and About window show about this build.
class AppIdentity : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString product READ product CONSTANT)
    Q_PROPERTY(QString version READ version CONSTANT)
    // The publisher's domain, or its name when no domain is configured.
    Q_PROPERTY(QString wordmark READ wordmark CONSTANT)
    // The wordmark in capitals followed by " TOOLING".
    Q_PROPERTY(QString kickerText READ kickerText CONSTANT)
    Q_PROPERTY(QString publisherName READ publisherName CONSTANT)
    Q_PROPERTY(QString profileUrl READ profileUrl CONSTANT)
    Q_PROPERTY(QString toolsUrl READ toolsUrl CONSTANT)
    Q_PROPERTY(QString donationUrl READ donationUrl CONSTANT)
    // The information dictionary's copyright line.
    Q_PROPERTY(QString copyright READ copyright CONSTANT)

public:
    explicit AppIdentity(Publisher publisher = Publisher::configured(), QObject* parent = nullptr);

    QString product() const;
    QString version() const;
    QString wordmark() const;
    QString kickerText() const;
    QString publisherName() const { return publisher_.name; }
    QString profileUrl() const { return publisher_.profileUrl; }
    QString toolsUrl() const { return publisher_.toolsUrl; }
    QString donationUrl() const { return publisher_.donationUrl; }
    QString copyright() const;

    // The About window's credits as rich text; reads and hashes the executable each call.
    Q_INVOKABLE QString aboutCredits() const;

private:
    Publisher publisher_;
};

} // namespace cairnmoor
