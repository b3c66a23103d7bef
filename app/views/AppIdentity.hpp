#pragma once

#include <QObject>
#include <QString>

namespace cairnmoor {

// What the header, footer, menus and About window show about this build.
class AppIdentity : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString product READ product CONSTANT)
    Q_PROPERTY(QString version READ version CONSTANT)
    Q_PROPERTY(QString publisherDomain READ publisherDomain CONSTANT)
    Q_PROPERTY(QString kickerText READ kickerText CONSTANT)
    Q_PROPERTY(QString author READ author CONSTANT)
    Q_PROPERTY(QString authorUrl READ authorUrl CONSTANT)
    Q_PROPERTY(QString toolsUrl READ toolsUrl CONSTANT)
    Q_PROPERTY(QString donationUrl READ donationUrl CONSTANT)
    Q_PROPERTY(QString publisher READ publisher CONSTANT)

public:
    explicit AppIdentity(QObject* parent = nullptr);

    QString product() const;
    QString version() const;
    QString publisherDomain() const;
    // The publisher's domain in capitals followed by " TOOLING".
    QString kickerText() const;
    QString author() const;
    QString authorUrl() const;
    QString toolsUrl() const;
    QString donationUrl() const;
    QString publisher() const;

    // The About window's credits as rich text; reads and hashes the executable each call.
    Q_INVOKABLE QString aboutCredits() const;
};

} // namespace cairnmoor
