#include "bench/Names.h"

#include <QStringList>
#include <cstdint>

namespace bench {

namespace {

// A small fixed generator: the same links on every machine and every run.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint32_t next()
    {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return std::uint32_t(m_state >> 33);
    }
    int below(int n) { return int(next() % std::uint32_t(n)); }

private:
    std::uint64_t m_state;
};

const QStringList& words()
{
    static const QStringList list =
        QString::fromUtf8(
            "news daily garden recipes tech linux music forum photo travel blog wiki weather sport "
            "football cooking bakery library museum school university bank insurance shop market "
            "books comics games movies cinema theatre radio podcast science space history maths "
            "chess knitting fishing cycling running yoga health doctor dentist pharmacy hotel "
            "airline train bus maps city council tax jobs careers crafts design art gallery "
            "photography camera kitchen home diy tools cars bikes boats weather-station stars "
            "café crème brûlée Éclair Zoë Müller Ørsted São Paulo Malmö Kraków Ångström naïve "
            "résumé piñata Señor Björk Dvořák Łódź Île-de-France Côte façade jalapeño Straße "
            "Joe's Mary's O'Reilly McDonald's Kids' Grandma's Dad's d'Artagnan l'Atelier rock'n'roll "
            "Alpha beta Gamma delta OMEGA the The my My our best top free open old new big little "
            "green red blue yellow north south east west central royal national local online "
            "official unofficial community fan club society network project journal magazine "
            "times post herald gazette tribune review guide tips tricks how-to faq help support")
            .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return list;
}

QString styled(QString word, int style)
{
    switch (style) {
    case 0:
        return word.toLower();
    case 1:
        return word.toUpper();
    case 2:
        return word;
    default:
        if (!word.isEmpty())
            word[0] = word[0].toUpper();
        return word;
    }
}

QString slugOf(const QString& name)
{
    QString slug;
    for (QChar c : name.toLower()) {
        if ((c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('0') && c <= QLatin1Char('9')))
            slug.append(c);
        else if (c == QLatin1Char(' ') && !slug.endsWith(QLatin1Char('-')))
            slug.append(QLatin1Char('-'));
    }
    return slug.isEmpty() ? QStringLiteral("site") : slug;
}

} // namespace

QList<Link> realisticLinks(int count)
{
    Random random(0x7e55a12u + std::uint64_t(count));
    const QStringList& vocabulary = words();
    QList<Link> links;
    links.reserve(count);
    for (int i = 0; i < count; ++i) {
        // About one name in a hundred is stored twice, as people do.
        if (i > 10 && random.below(100) == 0) {
            links.append(links[random.below(i)]);
            continue;
        }
        // Most names keep one style for every word; some mix them.
        const int nameStyle = random.below(8);
        const int wordCount = 1 + random.below(4);
        QString name;
        for (int w = 0; w < wordCount; ++w) {
            if (w > 0)
                name.append(QLatin1Char(' '));
            const int style = nameStyle < 4 ? 3 : nameStyle < 6 ? 0 : nameStyle == 6 ? 1 : random.below(4);
            name.append(styled(vocabulary[random.below(int(vocabulary.size()))], style));
        }
        if (random.below(5) == 0)
            name.append(QLatin1Char(' ') + QString::number(random.below(2030)));
        QString url = QStringLiteral("https://www.") + slugOf(name) + QStringLiteral(".example.com/");
        if (random.below(3) == 0)
            url.append(QStringLiteral("index.html?id=") + QString::number(i));
        links.append({name, url});
    }
    return links;
}

} // namespace bench
