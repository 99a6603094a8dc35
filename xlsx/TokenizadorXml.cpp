#include "TokenizadorXml.h"

#include <optional>

namespace {

bool espacio(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool inicioDeNombre(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
}

bool parteDeNombre(unsigned char c)
{
    return inicioDeNombre(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool caracterXml(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF)
        || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// The character an entity reference stands for (what lies between '&' and ';'); none for an
// unknown name, since no document type is ever declared, or for a number that is no character.
std::optional<char32_t> entidad(QByteArrayView nombre)
{
    if (nombre == "lt")
        return U'<';
    if (nombre == "gt")
        return U'>';
    if (nombre == "amp")
        return U'&';
    if (nombre == "quot")
        return U'"';
    if (nombre == "apos")
        return U'\'';
    if (!nombre.startsWith('#'))
        return std::nullopt;
    bool ok = false;
    const bool hexa = nombre.size() > 1 && (nombre[1] == 'x');
    const QByteArray cifras = nombre.sliced(hexa ? 2 : 1).toByteArray();
    const uint valor = cifras.toUInt(&ok, hexa ? 16 : 10);
    if (!ok || cifras.isEmpty() || !caracterXml(valor))
        return std::nullopt;
    return char32_t(valor);
}

qsizetype buscar(const QByteArray &datos, const char *que, qsizetype desde)
{
    return datos.indexOf(que, desde);
}

} // namespace

TokenizadorXml::TokenizadorXml(int maxProfundidad)
    : m_maxProfundidad(maxProfundidad)
{
}

void TokenizadorXml::agregar(const char *datos, qint64 largo)
{
    compactar();
    m_datos.append(datos, qsizetype(largo));
}

void TokenizadorXml::compactar()
{
    // What was read goes, once there is enough of it to be worth the move; not while the end
    // of an empty element, which points into it, is still to be given.
    if (!m_finPendiente && m_pos > 65536 && m_pos * 2 > m_datos.size()) {
        m_datos.remove(0, m_pos);
        m_pos = 0;
    }
}

TokenizadorXml::Token TokenizadorXml::fallar()
{
    m_error = true;
    return Token::Falta;
}

bool TokenizadorXml::leerNombre(
    qsizetype &i, qsizetype fin, QByteArrayView *nombre, QByteArrayView *prefijo) const
{
    const qsizetype inicio = i;
    if (i >= fin || !inicioDeNombre(uchar(en(i))))
        return false;
    qsizetype dosPuntos = -1;
    while (i < fin && parteDeNombre(uchar(en(i)))) {
        if (en(i) == ':')
            dosPuntos = i;
        ++i;
    }
    const QByteArrayView entero(m_datos.constData() + inicio, i - inicio);
    if (dosPuntos < 0) {
        *nombre = entero;
        *prefijo = {};
    } else {
        *prefijo = entero.first(dosPuntos - inicio);
        *nombre = entero.sliced(dosPuntos - inicio + 1);
        if (nombre->isEmpty() || prefijo->isEmpty())
            return false;
    }
    return true;
}

bool TokenizadorXml::decodificar(QByteArrayView crudo, bool enAtributo, QString &destino) const
{
    // Most values need nothing decoded.
    const bool llano = !crudo.contains('&') && !crudo.contains('\r')
        && (!enAtributo
            || (!crudo.contains('\t') && !crudo.contains('\n') && !crudo.contains('<')));
    if (llano) {
        destino = QString::fromUtf8(crudo);
        return true;
    }
    destino.clear();
    qsizetype tramo = 0;
    auto volcar = [&](qsizetype hasta) {
        if (hasta > tramo)
            destino.append(QString::fromUtf8(crudo.sliced(tramo, hasta - tramo)));
    };
    for (qsizetype i = 0; i < crudo.size(); ++i) {
        const char c = crudo[i];
        if (c == '&') {
            volcar(i);
            const qsizetype fin = crudo.indexOf(';', i);
            if (fin < 0 || fin - i > 12)
                return false;
            const std::optional<char32_t> punto = entidad(crudo.sliced(i + 1, fin - i - 1));
            if (!punto)
                return false;
            destino.append(QString::fromUcs4(&*punto, 1));
            i = fin;
            tramo = fin + 1;
        } else if (c == '\r' || (enAtributo && (c == '\t' || c == '\n'))) {
            // Line ends become a line feed; in attributes every white character a space.
            volcar(i);
            const bool finDeLinea = c == '\r' && i + 1 < crudo.size() && crudo[i + 1] == '\n';
            destino.append(enAtributo ? QLatin1Char(' ') : QLatin1Char('\n'));
            if (finDeLinea)
                ++i;
            tramo = i + 1;
        } else if (c == '<' && enAtributo) {
            return false;
        }
    }
    volcar(crudo.size());
    return true;
}

TokenizadorXml::Token TokenizadorXml::siguiente()
{
    if (m_error)
        return Token::Falta;
    if (m_finPendiente) {
        // Name and prefix are still those of the start tag.
        m_finPendiente = false;
        cerrarElemento();
        return Token::Fin;
    }
    if (!m_comienzoVisto) {
        if (m_datos.size() < 3 && !m_final)
            return Token::Falta;
        if (m_datos.startsWith("\xEF\xBB\xBF"))
            m_pos = 3;
        m_comienzoVisto = true;
    }
    // Each step either gives a token or moves past what yields none (a declaration, a
    // comment, spaces outside the root) and lets the next step look.
    for (;;) {
        if (m_pos >= m_datos.size())
            return m_final && !m_raizCerrada ? fallar() : Token::Falta;
        std::optional<Token> token;
        if (en(m_pos) != '<')
            token = textoLlano();
        else if (m_datos.size() - m_pos < 2)
            token = esperar();
        else if (en(m_pos + 1) == '?')
            token = instruccion();
        else if (en(m_pos + 1) == '!')
            token = declaracion();
        else
            token = etiquetaEntera();
        if (token)
            return *token;
    }
}

TokenizadorXml::Token TokenizadorXml::esperar()
{
    return m_final ? fallar() : Token::Falta;
}

std::optional<TokenizadorXml::Token> TokenizadorXml::textoLlano()
{
    qsizetype fin = m_datos.indexOf('<', m_pos);
    if (fin < 0) {
        if (!m_final)
            return Token::Falta;
        fin = m_datos.size();
    }
    const QByteArrayView crudo(m_datos.constData() + m_pos, fin - m_pos);
    m_pos = fin;
    if (!m_raizAbierta || m_raizCerrada) {
        for (const char c : crudo) {
            if (!espacio(c))
                return fallar();
        }
        return std::nullopt;
    }
    if (!decodificar(crudo, false, m_texto))
        return fallar();
    return Token::Texto;
}

std::optional<TokenizadorXml::Token> TokenizadorXml::instruccion()
{
    const qsizetype fin = buscar(m_datos, "?>", m_pos + 2);
    if (fin < 0)
        return esperar();
    // The declaration may name an encoding: only UTF-8 is read.
    const QByteArray instruccion = m_datos.mid(m_pos, fin - m_pos).toLower();
    if (instruccion.startsWith("<?xml ") && instruccion.contains("encoding")
        && !instruccion.contains("utf-8"))
        return fallar();
    m_pos = fin + 2;
    return std::nullopt;
}

std::optional<TokenizadorXml::Token> TokenizadorXml::declaracion()
{
    if (m_datos.size() - m_pos < 9)
        return esperar();
    if (m_datos.mid(m_pos, 4) == "<!--") {
        const qsizetype fin = buscar(m_datos, "-->", m_pos + 4);
        if (fin < 0)
            return esperar();
        m_pos = fin + 3;
        return std::nullopt;
    }
    if (m_datos.mid(m_pos, 9) == "<![CDATA[") {
        const qsizetype fin = buscar(m_datos, "]]>", m_pos + 9);
        if (fin < 0)
            return esperar();
        if (!m_raizAbierta || m_raizCerrada)
            return fallar();
        m_texto = QString::fromUtf8(m_datos.constData() + m_pos + 9, fin - m_pos - 9);
        m_texto.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
            .replace(QLatin1Char('\r'), QLatin1Char('\n'));
        m_pos = fin + 3;
        return Token::Texto;
    }
    return fallar(); // a document type or any other declaration
}

TokenizadorXml::Token TokenizadorXml::etiquetaEntera()
{
    // A tag ends at the first '>' outside quotes.
    char comilla = 0;
    for (qsizetype i = m_pos + 1; i < m_datos.size(); ++i) {
        const char c = en(i);
        if (comilla) {
            if (c == comilla)
                comilla = 0;
        } else if (c == '"' || c == '\'') {
            comilla = c;
        } else if (c == '>') {
            return etiqueta(i);
        } else if (c == '<') {
            return fallar();
        }
    }
    return esperar();
}

// The attributes of a start tag, from `i` (just past the name) to `fin` (its '>'); true
// when the tag closes itself, none when the attributes are malformed.
std::optional<bool> TokenizadorXml::leerAtributos(qsizetype i, qsizetype fin)
{
    m_atributos.clear();
    for (;;) {
        const qsizetype antes = i;
        while (i < fin && espacio(en(i)))
            ++i;
        if (i == fin)
            return false;
        if (en(i) == '/' && i + 1 == fin)
            return true;
        if (i == antes)
            return std::nullopt; // attributes are separated by white space
        QByteArrayView nombre, prefijo;
        if (!leerNombre(i, fin, &nombre, &prefijo))
            return std::nullopt;
        while (i < fin && espacio(en(i)))
            ++i;
        if (i >= fin || en(i) != '=')
            return std::nullopt;
        ++i;
        while (i < fin && espacio(en(i)))
            ++i;
        if (i >= fin || (en(i) != '"' && en(i) != '\''))
            return std::nullopt;
        const char comilla = en(i);
        const qsizetype cierre = m_datos.indexOf(comilla, i + 1);
        if (cierre < 0 || cierre > fin)
            return std::nullopt;
        // Namespace declarations are not attributes of the element.
        if (!iguales(prefijo, "xmlns") && !(prefijo.isEmpty() && iguales(nombre, "xmlns")))
            m_atributos.push_back(
                { nombre, QByteArrayView(m_datos.constData() + i + 1, cierre - i - 1) });
        i = cierre + 1;
    }
}

TokenizadorXml::Token TokenizadorXml::etiqueta(qsizetype fin)
{
    qsizetype i = m_pos + 1;
    if (en(i) == '/') {
        ++i;
        const qsizetype inicio = i;
        if (!leerNombre(i, fin, &m_nombre, &m_prefijo))
            return fallar();
        const QByteArrayView calificado(m_datos.constData() + inicio, i - inicio);
        while (i < fin && espacio(en(i)))
            ++i;
        if (i != fin || m_finales.empty() || !iguales(abierto(), calificado))
            return fallar();
        cerrarElemento();
        m_pos = fin + 1;
        return Token::Fin;
    }
    const qsizetype inicio = i;
    if (!leerNombre(i, fin, &m_nombre, &m_prefijo))
        return fallar();
    const QByteArrayView calificado(m_datos.constData() + inicio, i - inicio);
    const std::optional<bool> vacio = leerAtributos(i, fin);
    if (!vacio)
        return fallar();
    if (m_raizCerrada)
        return fallar(); // a second root
    m_raizAbierta = true;
    if (int(m_finales.size()) >= m_maxProfundidad) {
        m_profundo = true;
        return fallar();
    }
    m_abiertos.append(calificado.data(), size_t(calificado.size()));
    m_finales.push_back(qsizetype(m_abiertos.size()));
    m_finPendiente = *vacio;
    m_pos = fin + 1;
    return Token::Inicio;
}

QByteArrayView TokenizadorXml::abierto() const
{
    const qsizetype inicio = m_finales.size() > 1 ? m_finales[m_finales.size() - 2] : 0;
    return QByteArrayView(m_abiertos.data() + inicio, m_finales.back() - inicio);
}

void TokenizadorXml::cerrarElemento()
{
    m_finales.pop_back();
    m_abiertos.resize(m_finales.empty() ? 0 : size_t(m_finales.back()));
    m_raizCerrada = m_finales.empty();
}

QByteArrayView TokenizadorXml::atributoCrudo(QByteArrayView nombre) const
{
    for (const Atributo &a : m_atributos) {
        if (iguales(a.nombre, nombre))
            return a.valor;
    }
    return {};
}

QString TokenizadorXml::atributo(QByteArrayView nombre) const
{
    for (const Atributo &a : m_atributos) {
        if (iguales(a.nombre, nombre)) {
            QString valor;
            if (!decodificar(a.valor, true, valor))
                return QStringLiteral("\uFFFD"); // an undecodable value is no valid one
            return valor.isNull() ? QString(QLatin1String("")) : valor;
        }
    }
    return {};
}
