#include "document/configplace.h"

#include <QUrl>

using namespace Qt::StringLiterals;

namespace vesk
{
namespace
{

Failure badPlace(const QString &text, const QString &why)
{
    return Failure::of(Fault::BadValue, u"\""_s + text + u"\" names no file: "_s + why);
}

// An account or host name: nothing that a shell or ssh would take as more.
bool plainName(const QString &name)
{
    if (name.isEmpty() || name.startsWith(u'-'))
        return false;
    for (QChar c : name)
        if (!(c.isLetterOrNumber() || c == u'.' || c == u'-' || c == u'_' || c == u'[' || c == u']'
              || c == u':'))
            return false;
    return true;
}

Result<ConfigPlace> parseSsh(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.path().isEmpty())
        return badPlace(text, u"write ssh://[user@]host[:port]/path"_s);
    ConfigPlace p;
    p.host = url.host();
    p.user = url.userName();
    p.port = url.port(0);
    p.path = url.path();
    return p;
}

} // namespace

QString ConfigPlace::text() const
{
    QString out = account.isEmpty() ? QString() : u"sudo:"_s + account + u':';
    if (local())
        return out + path;
    const QString login = user.isEmpty() ? host : user + u'@' + host;
    if (port != 0)
        return out + u"ssh://"_s + login + u':' + QString::number(port)
               + (path.startsWith(u'/') ? path : u'/' + path);
    return out + login + u':' + path;
}

QString ConfigPlace::shortName() const
{
    return local() ? path : host + u':' + path;
}

Result<ConfigPlace> parsePlace(const QString &text, const std::function<bool(const QString &)> &exists)
{
    ConfigPlace here;
    here.path = text;
    if (text.isEmpty() || exists(text))
        return here;
    QString rest = text;
    QString account;
    if (rest.startsWith(u"sudo:"_s)) {
        const qsizetype colon = rest.indexOf(u':', 5);
        account = rest.mid(5, colon - 5);
        if (colon < 0 || !plainName(account) || account.contains(u':'))
            return badPlace(text, u"write sudo:ACCOUNT: before the place"_s);
        rest = rest.sliced(colon + 1);
    }
    here.path = rest;
    Result<ConfigPlace> place = here;
    const qsizetype colon = rest.indexOf(u':');
    const qsizetype slash = rest.indexOf(u'/');
    if (rest.startsWith(u"ssh://"_s)) {
        place = parseSsh(rest);
    } else if (colon > 0 && (slash < 0 || colon < slash) && !exists(rest)) {
        // host:path, the form scp takes; a name with a colon that exists
        // here, or that starts with "./" or "/", stays local.
        ConfigPlace p;
        const QString login = rest.first(colon);
        const qsizetype at = login.lastIndexOf(u'@');
        p.user = at < 0 ? QString() : login.first(at);
        p.host = login.sliced(at + 1);
        p.path = rest.sliced(colon + 1);
        if (p.path.isEmpty())
            return badPlace(text, u"no path after \""_s + login + u":\""_s);
        place = p;
    }
    if (!place)
        return place;
    if (!place->local() && (!plainName(place->host) || (!place->user.isEmpty() && !plainName(place->user))))
        return badPlace(text, u"\""_s + place->host + u"\" is no host name"_s);
    place->account = account;
    return place;
}

} // namespace vesk
