#include "LectorXlsx.h"

#include "PaqueteXlsx.h"

#include <QFile>
#include <QStringList>

#include <cmath>

namespace {

using Token = TokenizadorXml::Token;

// The text of the shared strings, phonetic runs aside. A flat walk over the tokens.
Resultado leerCadenas(const PaqueteXlsx &paquete, const QString &parte, QStringList *cadenas)
{
    bool enCadena = false;
    bool enTexto = false;
    int fonetica = 0;
    QString actual;
    return recorrerXml(
        paquete, parte, limitesXlsx::kMaxBytesParte, [&](const TokenizadorXml &x, Token t) {
            switch (t) {
            case Token::Inicio:
                if (x.es("si")) {
                    if (cadenas->size() >= limitesXlsx::kMaxCadenasCompartidas)
                        return falloLibro(CausaFallo::DemasiadasCadenas);
                    enCadena = true;
                    actual.clear();
                } else if (x.es("rPh")) {
                    ++fonetica;
                } else if (x.es("t")) {
                    enTexto = enCadena && fonetica == 0;
                }
                break;
            case Token::Fin:
                if (x.es("si")) {
                    cadenas->append(actual);
                    enCadena = false;
                } else if (x.es("rPh")) {
                    fonetica = qMax(0, fonetica - 1);
                } else if (x.es("t")) {
                    enTexto = false;
                }
                break;
            case Token::Texto:
                if (enTexto) {
                    actual += x.texto();
                    if (actual.size() > limitesXlsx::kMaxCaracteresCelda)
                        return falloLibro(CausaFallo::TextoDemasiadoLargo);
                }
                break;
            default:
                break;
            }
            return Resultado();
        });
}

// "AF12" → row 12, column 32.
bool leerReferencia(QByteArrayView ref, int *fila, int *columna)
{
    qsizetype i = 0;
    qint64 col = 0;
    while (i < ref.size() && ref[i] >= 'A' && ref[i] <= 'Z') {
        col = col * 26 + (ref[i] - 'A' + 1);
        if (col > limitesXlsx::kMaxColumna)
            return false;
        ++i;
    }
    if (i == 0 || i == ref.size())
        return false;
    qint64 fil = 0;
    for (; i < ref.size(); ++i) {
        if (ref[i] < '0' || ref[i] > '9')
            return false;
        fil = fil * 10 + (ref[i] - '0');
        if (fil > limitesXlsx::kMaxFila)
            return false;
    }
    if (fil < 1)
        return false;
    *fila = int(fil);
    *columna = int(col);
    return true;
}

// An attribute of plain ASCII as bytes: raw when it holds no entity, decoded otherwise.
QByteArray atributoAscii(const TokenizadorXml &x, QByteArrayView nombre)
{
    const QByteArrayView crudo = x.atributoCrudo(nombre);
    if (!crudo.contains('&'))
        return QByteArray::fromRawData(crudo.data(), crudo.size());
    return x.atributo(nombre).toUtf8();
}

// The cells of a sheet, walked token by token: rows strictly ascending, cells strictly
// ascending within their row, as every spreadsheet program writes them.
class LectorHoja {
    // What the t attribute of a cell says its value is.
    enum class Tipo { Numero, Compartida, EnLinea, Texto };
    static Tipo tipoDeCelda(QByteArrayView t)
    {
        const auto es = [t](QByteArrayView nombre) { return TokenizadorXml::iguales(t, nombre); };
        if (es("s"))
            return Tipo::Compartida;
        if (es("inlineStr"))
            return Tipo::EnLinea;
        if (es("str") || es("e") || es("d"))
            return Tipo::Texto;
        return Tipo::Numero;
    }

public:
    LectorHoja(const QStringList &cadenas, const VisitanteCeldas &visitante, qint64 maxCeldas)
        : m_cadenas(cadenas)
        , m_visitante(visitante)
        , m_maxCeldas(maxCeldas)
    {
    }

    Resultado token(const TokenizadorXml &x, Token t)
    {
        switch (t) {
        case Token::Inicio:
            return inicio(x);
        case Token::Fin:
            return fin(x);
        case Token::Texto:
            if (m_captura) {
                // Mostly one piece of text: shared, not copied.
                if (m_captura->isEmpty())
                    *m_captura = x.texto();
                else
                    m_captura->append(x.texto());
                if (m_captura->size() > limitesXlsx::kMaxCaracteresCelda)
                    return falloLibro(CausaFallo::TextoDemasiadoLargo);
            }
            return Resultado();
        default:
            return Resultado();
        }
    }

private:
    Resultado inicio(const TokenizadorXml &x)
    {
        if (x.es("row")) {
            const QByteArray r = atributoAscii(x, "r");
            int fila = m_fila + 1;
            if (!r.isEmpty()) {
                bool ok = false;
                fila = r.toInt(&ok);
                if (!ok || fila < 1 || fila > limitesXlsx::kMaxFila)
                    return falloLibro(CausaFallo::ReferenciaInvalida);
            }
            if (fila <= m_fila || fila > limitesXlsx::kMaxFila)
                return falloLibro(CausaFallo::FilasDesordenadas);
            m_fila = fila;
            m_columna = 0;
            m_enFila = true;
            return Resultado();
        }
        if (x.es("c")) {
            if (!m_enFila)
                return falloLibro(CausaFallo::ReferenciaInvalida);
            int fila = m_fila;
            int columna = m_columna + 1;
            const QByteArray r = atributoAscii(x, "r");
            if (!r.isEmpty() && (!leerReferencia(r, &fila, &columna) || fila != m_fila))
                return falloLibro(CausaFallo::ReferenciaInvalida);
            if (columna <= m_columna || columna > limitesXlsx::kMaxColumna)
                return falloLibro(CausaFallo::CeldasDesordenadas);
            m_columna = columna;
            m_enCelda = true;
            m_tipo = tipoDeCelda(atributoAscii(x, "t"));
            m_valor.clear();
            m_enLinea.clear();
            m_tieneValor = m_tieneEnLinea = false;
            return Resultado();
        }
        if (!m_enCelda)
            return Resultado();
        if (x.es("v")) {
            m_tieneValor = true;
            m_captura = &m_valor;
        } else if (x.es("is")) {
            m_tieneEnLinea = true;
        } else if (x.es("rPh")) {
            ++m_fonetica;
        } else if (x.es("t") && m_tieneEnLinea && m_fonetica == 0) {
            m_captura = &m_enLinea;
        }
        return Resultado();
    }

    Resultado fin(const TokenizadorXml &x)
    {
        if (x.es("row")) {
            m_enFila = false;
        } else if (x.es("c")) {
            m_enCelda = false;
            m_captura = nullptr;
            m_fonetica = 0;
            return celda();
        } else if (x.es("rPh")) {
            m_fonetica = qMax(0, m_fonetica - 1);
        } else if (x.es("v") || x.es("t")) {
            m_captura = nullptr;
        }
        return Resultado();
    }

    Resultado celda()
    {
        Celda c;
        if (m_tipo == Tipo::Compartida) {
            if (!m_tieneValor)
                return Resultado();
            bool ok = false;
            const qint64 indice = m_valor.trimmed().toLongLong(&ok);
            if (!ok || indice < 0 || indice >= m_cadenas.size())
                return falloLibro(CausaFallo::IndiceDeCadenaInvalido);
            c = Celda::deTexto(m_cadenas.at(indice));
        } else if (m_tipo == Tipo::EnLinea) {
            if (!m_tieneEnLinea)
                return Resultado();
            c = Celda::deTexto(m_enLinea);
        } else if (m_tipo == Tipo::Texto) {
            if (!m_tieneValor)
                return Resultado();
            c = Celda::deTexto(m_valor);
        } else {
            if (!m_tieneValor)
                return Resultado();
            bool ok = false;
            const double numero = m_valor.trimmed().toDouble(&ok);
            if (!ok || !std::isfinite(numero))
                return falloLibro(CausaFallo::NumeroInvalido);
            c = Celda::deNumero(numero);
        }
        if (++m_celdas > m_maxCeldas)
            return falloLibro(CausaFallo::DemasiadasCeldas);
        m_visitante(m_fila, m_columna, c);
        return Resultado();
    }

    const QStringList &m_cadenas;
    const VisitanteCeldas &m_visitante;
    const qint64 m_maxCeldas;
    qint64 m_celdas = 0;
    int m_fila = 0;
    int m_columna = 0;
    bool m_enFila = false;
    bool m_enCelda = false;
    int m_fonetica = 0;
    Tipo m_tipo = Tipo::Numero;
    QString m_valor;
    QString m_enLinea;
    bool m_tieneValor = false;
    bool m_tieneEnLinea = false;
    QString *m_captura = nullptr;
};

} // namespace

Resultado recorrerHoja(const PaqueteXlsx &paquete, const QString &nombreHoja,
    const VisitanteCeldas &visitante, LimitesHoja limites)
{
    QString parteHoja;
    QString parteCadenas;
    if (const Resultado e = paquete.buscarHoja(nombreHoja, &parteHoja, &parteCadenas); !e.ok())
        return e;
    QStringList cadenas;
    if (!parteCadenas.isEmpty()) {
        if (const Resultado e = leerCadenas(paquete, parteCadenas, &cadenas); !e.ok())
            return e.conDetalle(parteCadenas);
    }
    LectorHoja lector(cadenas, visitante, limites.maxCeldas);
    const Resultado e = recorrerXml(paquete, parteHoja, limites.maxBytes,
        [&lector](const TokenizadorXml &x, Token t) { return lector.token(x, t); });
    if (!e.ok())
        return e.conDetalle(parteHoja);
    return {};
}

Resultado leerHojaDeBytes(const QByteArray &bytes, const QString &nombreHoja, CeldasHoja *celdas)
{
    celdas->clear();
    const PaqueteXlsx paquete(bytes);
    const Resultado fallo
        = recorrerHoja(paquete, nombreHoja, [celdas](int fila, int columna, const Celda &c) {
              celdas->emplace(std::pair(fila, columna), c);
          });
    if (!fallo.ok())
        celdas->clear();
    return fallo;
}

Resultado leerReporteDeBytes(const QByteArray &bytes, CeldasHoja *celdas)
{
    return leerHojaDeBytes(bytes, kNombreHojaReporte(), celdas);
}
