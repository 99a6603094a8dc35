#include "LectorXlsx.h"

#include "PaqueteXlsx.h"

#include <QFile>
#include <QStringList>
#include <QXmlStreamReader>

#include <cmath>

QString FalloLectura::texto() const
{
    if (parte.isEmpty())
        return textoErrorXlsx(error);
    return QStringLiteral("%1 (%2)").arg(textoErrorXlsx(error), parte);
}

namespace {

bool esElemento(const QXmlStreamReader &x, const char *nombre)
{
    return x.name() == QLatin1String(nombre);
}

// The text of the shared strings, phonetic runs aside. A flat walk over the tokens.
ErrorXlsx leerCadenas(const PaqueteXlsx &paquete, const QString &parte, QStringList *cadenas)
{
    bool enCadena = false;
    bool enTexto = false;
    int fonetica = 0;
    QString actual;
    return recorrerXml(paquete, parte, limitesXlsx::kMaxBytesParte, [&](const QXmlStreamReader &x) {
        switch (x.tokenType()) {
        case QXmlStreamReader::StartElement:
            if (esElemento(x, "si")) {
                if (cadenas->size() >= limitesXlsx::kMaxCadenasCompartidas)
                    return ErrorXlsx::DemasiadasCadenas;
                enCadena = true;
                actual.clear();
            } else if (esElemento(x, "rPh")) {
                ++fonetica;
            } else if (esElemento(x, "t")) {
                enTexto = enCadena && fonetica == 0;
            }
            break;
        case QXmlStreamReader::EndElement:
            if (esElemento(x, "si")) {
                cadenas->append(actual);
                enCadena = false;
            } else if (esElemento(x, "rPh")) {
                fonetica = qMax(0, fonetica - 1);
            } else if (esElemento(x, "t")) {
                enTexto = false;
            }
            break;
        case QXmlStreamReader::Characters:
            if (enTexto) {
                actual += x.text();
                if (actual.size() > limitesXlsx::kMaxCaracteresCelda)
                    return ErrorXlsx::TextoDemasiadoLargo;
            }
            break;
        default:
            break;
        }
        return ErrorXlsx::Ninguno;
    });
}

// "AF12" → row 12, column 32.
bool leerReferencia(QStringView ref, int *fila, int *columna)
{
    int i = 0;
    qint64 col = 0;
    while (i < ref.size() && ref[i] >= QLatin1Char('A') && ref[i] <= QLatin1Char('Z')) {
        col = col * 26 + (ref[i].unicode() - 'A' + 1);
        if (col > limitesXlsx::kMaxColumna)
            return false;
        ++i;
    }
    if (i == 0 || i == ref.size())
        return false;
    qint64 fil = 0;
    for (; i < ref.size(); ++i) {
        if (ref[i] < QLatin1Char('0') || ref[i] > QLatin1Char('9'))
            return false;
        fil = fil * 10 + (ref[i].unicode() - '0');
        if (fil > limitesXlsx::kMaxFila)
            return false;
    }
    if (fil < 1)
        return false;
    *fila = int(fil);
    *columna = int(col);
    return true;
}

// The cells of a sheet, walked token by token: rows strictly ascending, cells strictly
// ascending within their row, as every spreadsheet program writes them.
class LectorHoja {
public:
    LectorHoja(const QStringList &cadenas, const VisitanteCeldas &visitante, qint64 maxCeldas)
        : m_cadenas(cadenas)
        , m_visitante(visitante)
        , m_maxCeldas(maxCeldas)
    {
    }

    ErrorXlsx token(const QXmlStreamReader &x)
    {
        switch (x.tokenType()) {
        case QXmlStreamReader::StartElement:
            return inicio(x);
        case QXmlStreamReader::EndElement:
            return fin(x);
        case QXmlStreamReader::Characters:
            if (m_captura) {
                m_captura->append(x.text());
                if (m_captura->size() > limitesXlsx::kMaxCaracteresCelda)
                    return ErrorXlsx::TextoDemasiadoLargo;
            }
            return ErrorXlsx::Ninguno;
        default:
            return ErrorXlsx::Ninguno;
        }
    }

private:
    ErrorXlsx inicio(const QXmlStreamReader &x)
    {
        if (esElemento(x, "row")) {
            const QStringView r = x.attributes().value(QLatin1String("r"));
            int fila = m_fila + 1;
            if (!r.isEmpty()) {
                bool ok = false;
                fila = r.toInt(&ok);
                if (!ok || fila < 1 || fila > limitesXlsx::kMaxFila)
                    return ErrorXlsx::ReferenciaInvalida;
            }
            if (fila <= m_fila || fila > limitesXlsx::kMaxFila)
                return ErrorXlsx::FilasDesordenadas;
            m_fila = fila;
            m_columna = 0;
            m_enFila = true;
            return ErrorXlsx::Ninguno;
        }
        if (esElemento(x, "c")) {
            if (!m_enFila)
                return ErrorXlsx::ReferenciaInvalida;
            const auto atributos = x.attributes();
            int fila = m_fila;
            int columna = m_columna + 1;
            const QStringView r = atributos.value(QLatin1String("r"));
            if (!r.isEmpty() && (!leerReferencia(r, &fila, &columna) || fila != m_fila))
                return ErrorXlsx::ReferenciaInvalida;
            if (columna <= m_columna || columna > limitesXlsx::kMaxColumna)
                return ErrorXlsx::CeldasDesordenadas;
            m_columna = columna;
            m_enCelda = true;
            m_tipo = atributos.value(QLatin1String("t")).toString();
            m_valor.clear();
            m_enLinea.clear();
            m_tieneValor = m_tieneEnLinea = false;
            return ErrorXlsx::Ninguno;
        }
        if (!m_enCelda)
            return ErrorXlsx::Ninguno;
        if (esElemento(x, "v")) {
            m_tieneValor = true;
            m_captura = &m_valor;
        } else if (esElemento(x, "is")) {
            m_tieneEnLinea = true;
        } else if (esElemento(x, "rPh")) {
            ++m_fonetica;
        } else if (esElemento(x, "t") && m_tieneEnLinea && m_fonetica == 0) {
            m_captura = &m_enLinea;
        }
        return ErrorXlsx::Ninguno;
    }

    ErrorXlsx fin(const QXmlStreamReader &x)
    {
        if (esElemento(x, "row")) {
            m_enFila = false;
        } else if (esElemento(x, "c")) {
            m_enCelda = false;
            m_captura = nullptr;
            m_fonetica = 0;
            return celda();
        } else if (esElemento(x, "rPh")) {
            m_fonetica = qMax(0, m_fonetica - 1);
        } else if (esElemento(x, "v") || esElemento(x, "t")) {
            m_captura = nullptr;
        }
        return ErrorXlsx::Ninguno;
    }

    ErrorXlsx celda()
    {
        Celda c;
        if (m_tipo == QLatin1String("s")) {
            if (!m_tieneValor)
                return ErrorXlsx::Ninguno;
            bool ok = false;
            const qint64 indice = m_valor.trimmed().toLongLong(&ok);
            if (!ok || indice < 0 || indice >= m_cadenas.size())
                return ErrorXlsx::IndiceDeCadenaInvalido;
            c = Celda::deTexto(m_cadenas.at(indice));
        } else if (m_tipo == QLatin1String("inlineStr")) {
            if (!m_tieneEnLinea)
                return ErrorXlsx::Ninguno;
            c = Celda::deTexto(m_enLinea);
        } else if (m_tipo == QLatin1String("str") || m_tipo == QLatin1String("e")
                   || m_tipo == QLatin1String("d")) {
            if (!m_tieneValor)
                return ErrorXlsx::Ninguno;
            c = Celda::deTexto(m_valor);
        } else {
            if (!m_tieneValor)
                return ErrorXlsx::Ninguno;
            bool ok = false;
            const double numero = m_valor.trimmed().toDouble(&ok);
            if (!ok || !std::isfinite(numero))
                return ErrorXlsx::NumeroInvalido;
            c = Celda::deNumero(numero);
        }
        if (++m_celdas > m_maxCeldas)
            return ErrorXlsx::DemasiadasCeldas;
        m_visitante(m_fila, m_columna, c);
        return ErrorXlsx::Ninguno;
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
    QString m_tipo;
    QString m_valor;
    QString m_enLinea;
    bool m_tieneValor = false;
    bool m_tieneEnLinea = false;
    QString *m_captura = nullptr;
};

} // namespace

FalloLectura recorrerHoja(const PaqueteXlsx &paquete, const QString &nombreHoja,
                          const VisitanteCeldas &visitante, LimitesHoja limites)
{
    QString parteHoja;
    QString parteCadenas;
    if (const ErrorXlsx e = paquete.buscarHoja(nombreHoja, &parteHoja, &parteCadenas); e != ErrorXlsx::Ninguno)
        return {e, {}};
    QStringList cadenas;
    if (!parteCadenas.isEmpty()) {
        if (const ErrorXlsx e = leerCadenas(paquete, parteCadenas, &cadenas); e != ErrorXlsx::Ninguno)
            return {e, parteCadenas};
    }
    LectorHoja lector(cadenas, visitante, limites.maxCeldas);
    const ErrorXlsx e = recorrerXml(paquete, parteHoja, limites.maxBytes,
                                    [&lector](const QXmlStreamReader &x) { return lector.token(x); });
    if (e != ErrorXlsx::Ninguno)
        return {e, parteHoja};
    return {};
}

FalloLectura leerHojaDeBytes(const QByteArray &bytes, const QString &nombreHoja, CeldasHoja *celdas)
{
    celdas->clear();
    const PaqueteXlsx paquete(bytes);
    const FalloLectura fallo = recorrerHoja(paquete, nombreHoja, [celdas](int fila, int columna, const Celda &c) {
        celdas->emplace(std::pair(fila, columna), c);
    });
    if (!fallo.ok())
        celdas->clear();
    return fallo;
}

FalloLectura leerReporteDeBytes(const QByteArray &bytes, CeldasHoja *celdas)
{
    return leerHojaDeBytes(bytes, kNombreHojaReporte(), celdas);
}

FalloLectura leerArchivoLibro(const QString &ruta, QByteArray *bytes)
{
    bytes->clear();
    QFile archivo(ruta);
    if (!archivo.open(QIODevice::ReadOnly))
        return {ErrorXlsx::NoSePuedeAbrir, archivo.errorString()};
    if (archivo.size() > limitesXlsx::kMaxBytesLibro)
        return {ErrorXlsx::ArchivoDemasiadoGrande, {}};
    *bytes = archivo.read(limitesXlsx::kMaxBytesLibro + 1);
    if (archivo.error() != QFileDevice::NoError)
        return {ErrorXlsx::NoSePuedeAbrir, archivo.errorString()};
    if (bytes->size() > limitesXlsx::kMaxBytesLibro)
        return {ErrorXlsx::ArchivoDemasiadoGrande, {}};
    return {};
}
