#include "HojaCalculo.h"

#include "Disco.h"
#include "Entradas.h"

#include "LectorXlsx.h"
#include "PaqueteXlsx.h"
#include "PropiedadesXlsx.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>

namespace {

QString textoCelda(const CeldasHoja &celdas, std::pair<int, int> pos)
{
    const auto it = celdas.find(pos);
    if (it == celdas.end())
        return QStringLiteral("vacía");
    if (it->second.tipo == Celda::Tipo::Numero)
        return QString::number(it->second.numero, 'g', 17);
    return QLatin1Char('"') + it->second.texto + QLatin1Char('"');
}

// The first cell where two sheets differ, for the supervisor's message.
QString primeraDiferencia(const CeldasHoja &esperadas, const CeldasHoja &leidas)
{
    auto e = esperadas.begin();
    auto l = leidas.begin();
    while (e != esperadas.end() || l != leidas.end()) {
        std::pair<int, int> pos;
        if (l == leidas.end() || (e != esperadas.end() && e->first < l->first))
            pos = e->first;
        else if (e == esperadas.end() || l->first < e->first)
            pos = l->first;
        else if (e->second == l->second) {
            ++e;
            ++l;
            continue;
        } else
            pos = e->first;
        return QStringLiteral("celda %1%2: se esperaba %3 y se leyó %4")
            .arg(nombreColumna(pos.second))
            .arg(pos.first)
            .arg(textoCelda(esperadas, pos), textoCelda(leidas, pos));
    }
    return {};
}

QString prefijoRestos(const QString &ruta)
{
    return QLatin1Char('.') + QFileInfo(ruta).fileName() + QLatin1Char('.');
}

// What saves of this workbook cut short by a killed process left behind. Only called with
// the workbook's lock held: no live process can be writing any of them.
void limpiarRestos(IDisco &disco, const QString &ruta)
{
    const QDir carpeta = QFileInfo(ruta).absoluteDir();
    const QString prefijo = prefijoRestos(ruta);
    for (const QString &nombre : carpeta.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (nombre.startsWith(prefijo)
            && nombre.mid(prefijo.size()).contains(QLatin1String(".tmp")))
            disco.borrar(carpeta.filePath(nombre));
    }
}

QString rutaTemporal(const QString &ruta, const char *clase)
{
    return QFileInfo(ruta).absoluteDir().filePath(prefijoRestos(ruta)
        + QString::number(QCoreApplication::applicationPid()) + QLatin1String(clase));
}

class Cerrojo {
public:
    explicit Cerrojo(const QString &ruta)
        : m_cerrojo(LibroXlsx::rutaCerrojo(ruta))
        , m_carpeta(QFileInfo(ruta).absolutePath())
    {
    }

    Resultado tomar(int esperaMs)
    {
        if (tomarCerrojo(m_cerrojo, esperaMs))
            return {};
        switch (m_cerrojo.error()) {
        case QLockFile::LockFailedError:
            return falloLibro(CausaFallo::EnUso,
                QStringLiteral("%1; si no hay otra estación abierta en esta computadora, "
                               "el supervisor puede borrar ese archivo")
                    .arg(describirCerrojo(m_cerrojo)));
        case QLockFile::PermissionError:
            return falloDisco(causaDeEscritura(m_carpeta, QFileDevice::PermissionsError),
                QStringLiteral("no se puede crear el bloqueo del libro"));
        default:
            return falloDisco(causaDeEscritura(m_carpeta, QFileDevice::WriteError),
                QStringLiteral("no se puede crear el bloqueo del libro"));
        }
    }

private:
    QLockFile m_cerrojo;
    QString m_carpeta;
};

// The student's workbook whole: one larger than any results workbook can be is a damaged one,
// and as such it is never replaced.
Resultado leerLibroDelAlumno(IDisco &disco, const QString &ruta, QByteArray *bytes)
{
    const Resultado r = disco.leer(ruta, limitesXlsx::kMaxBytesLibro, bytes);
    if (r.causa == CausaFallo::ArchivoDemasiadoGrande)
        return falloLibro(CausaFallo::LibroIlegible, r.texto());
    return r;
}

} // namespace

LibroXlsx::LibroXlsx(IDisco &disco, int esperaCerrojoMs)
    : m_disco(disco)
    , m_esperaCerrojoMs(esperaCerrojoMs)
{
}

QString LibroXlsx::rutaCerrojo(const QString &ruta)
{
    return QFileInfo(ruta).absoluteDir().filePath(prefijoRestos(ruta) + QStringLiteral("lock"));
}

Resultado LibroXlsx::leerReporte(const QString &ruta, CeldasHoja *celdas)
{
    celdas->clear();
    QByteArray bytes;
    if (const Resultado r = leerLibroDelAlumno(m_disco, ruta, &bytes); !r.ok())
        return r;
    const Resultado fallo = leerReporteDeBytes(bytes, celdas);
    if (!fallo.ok())
        return falloLibro(CausaFallo::LibroIlegible, fallo.texto());
    return {};
}

Resultado LibroXlsx::crearLibro(const QString &ruta)
{
    Cerrojo cerrojo(ruta);
    if (const Resultado r = cerrojo.tomar(m_esperaCerrojoMs); !r.ok())
        return r;
    limpiarRestos(m_disco, ruta);
    // Another process may have made it while this one waited for the lock.
    switch (const TipoEntrada tipo = tipoEntrada(ruta)) {
    case TipoEntrada::Ninguna:
        break;
    case TipoEntrada::Archivo: {
        CeldasHoja celdas;
        return leerReporte(ruta, &celdas);
    }
    default:
        // Never written through nor replaced: what stands there is not the station's.
        return falloDisco(CausaFallo::NoEsArchivo,
            QStringLiteral("en \"%1\" hay %2 en lugar del libro")
                .arg(ruta, nombreTipoEntrada(tipo)));
    }

    const QString carpeta = QFileInfo(ruta).absolutePath();
    const QString nuevo = rutaTemporal(ruta, ".nuevo.tmp");
    EscritorLibro escritor(nuevo, carpeta);
    escritor.agregarHoja(kNombreHojaReporte());
    if (const Resultado cerrado = escritor.cerrar(); !cerrado.ok()) {
        m_disco.borrar(nuevo);
        return falloDisco(causaDeEscritura(carpeta, QFileDevice::WriteError), cerrado.detalle);
    }
    QByteArray bytes;
    const Resultado leido = m_disco.leer(nuevo, limitesXlsx::kMaxBytesLibro, &bytes);
    m_disco.borrar(nuevo);
    if (!leido.ok())
        return leido;
    return guardarProbado(ruta, bytes, {});
}

Resultado LibroXlsx::escribirFila(
    const QString &ruta, int fila, int ultimaColumna, const CeldasFila &celdas)
{
    Cerrojo cerrojo(ruta);
    if (const Resultado r = cerrojo.tomar(m_esperaCerrojoMs); !r.ok())
        return r;
    limpiarRestos(m_disco, ruta);

    QByteArray viejo;
    if (const Resultado r = leerLibroDelAlumno(m_disco, ruta, &viejo); !r.ok())
        return r;
    CeldasHoja esperadas;
    if (const Resultado f = leerReporteDeBytes(viejo, &esperadas); !f.ok())
        return falloLibro(CausaFallo::LibroIlegible, f.texto());
    for (int col = 1; col <= ultimaColumna; ++col)
        esperadas.erase({ fila, col });
    for (const auto &[col, celda] : celdas) {
        if (celda.tipo == Celda::Tipo::Numero || !celda.texto.isEmpty())
            esperadas[{ fila, col }] = celda;
    }

    // The new sheet, and the row's seal once nothing can stop the save but the disk: one
    // package with both is built at once.
    const PaqueteXlsx antes(viejo);
    QString parteHoja;
    QByteArray hoja;
    if (const Resultado r = hojaConFilaReemplazada(
            antes, kNombreHojaReporte(), fila, ultimaColumna, celdas, &parteHoja, &hoja);
        !r.ok())
        return r;
    std::map<QString, QByteArray> partes { { parteHoja, hoja } };
    std::pair<QString, QString> sello;
    if (const Resultado r = sellarFila(antes, ruta, fila, celdas, &partes, &sello); !r.ok())
        return r;
    QByteArray nuevo;
    if (const Resultado r = antes.conPartes(partes, &nuevo); !r.ok())
        return r;
    QStringList cambiadas;
    for (const auto &[parte, contenido] : partes)
        cambiadas << parte;
    if (const QString cual = antes.primeraDiferencia(PaqueteXlsx(nuevo), cambiadas);
        !cual.isEmpty())
        return falloDisco(
            CausaFallo::NoCoincide, QStringLiteral("cambió otra parte del libro: %1").arg(cual));
    return guardarProbado(ruta, nuevo, esperadas, sello);
}

Resultado LibroXlsx::sellarFila(const PaqueteXlsx &libro, const QString &ruta, int fila,
    const CeldasFila &celdas, std::map<QString, QByteArray> *partes,
    std::pair<QString, QString> *sello)
{
    if (!m_sellador)
        return {};
    if (const Resultado r = m_sellador->sellar(
            QFileInfo(ruta).fileName(), fila, celdas, &sello->first, &sello->second);
        !r.ok())
        return r;
    return partesConPropiedad(libro, sello->first, sello->second, partes);
}

Resultado LibroXlsx::guardarProbado(const QString &ruta, const QByteArray &bytes,
    const CeldasHoja &esperadas, const std::pair<QString, QString> &sello)
{
    const QString preparado = rutaTemporal(ruta, ".tmp");
    auto abandonar = [&](const Resultado &r) {
        m_disco.borrar(preparado);
        return r;
    };
    if (const Resultado r = m_disco.escribir(preparado, bytes); !r.ok())
        return abandonar(r);
    QByteArray leidos;
    if (const Resultado r = m_disco.leer(preparado, limitesXlsx::kMaxBytesLibro, &leidos); !r.ok())
        return abandonar(r);
    CeldasHoja celdas;
    const Resultado lectura = leerReporteDeBytes(leidos, &celdas);
    if (!lectura.ok())
        return abandonar(falloDisco(CausaFallo::NoCoincide,
            QStringLiteral("el libro escrito no se puede leer: %1").arg(lectura.texto())));
    if (celdas != esperadas)
        return abandonar(falloDisco(CausaFallo::NoCoincide, primeraDiferencia(esperadas, celdas)));
    if (leidos != bytes)
        return abandonar(falloDisco(
            CausaFallo::NoCoincide, QStringLiteral("el archivo leído difiere del escrito")));
    if (!sello.first.isEmpty()) {
        PropiedadesXlsx propiedades;
        const Resultado r = leerPropiedades(PaqueteXlsx(leidos), &propiedades);
        const auto it = propiedades.find(sello.first);
        if (!r.ok() || it == propiedades.end() || it->second.valor != sello.second)
            return abandonar(falloDisco(CausaFallo::NoCoincide,
                QStringLiteral("el sello de la fila no se lee en el libro escrito")));
    }
    if (const Resultado r = m_disco.reemplazar(preparado, ruta); !r.ok())
        return abandonar(r);
    return {};
}
