#include "Auditoria.h"

#include "ColumnasReporte.h"
#include "Contenido.h"
#include "Diario.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

QString textoEstadoSello(EstadoSello estado)
{
    switch (estado) {
    case EstadoSello::Verificado:
        return QStringLiteral("verificado");
    case EstadoSello::Alterado:
        return QStringLiteral("alterado");
    case EstadoSello::Invalido:
        return QStringLiteral("sello inválido");
    case EstadoSello::SinSello:
        return QStringLiteral("sin sello");
    case EstadoSello::Desconocida:
        return QStringLiteral("estación desconocida");
    case EstadoSello::Reemplazado:
        return QStringLiteral("reemplazado por una copia anterior");
    }
    return {};
}

namespace {

QString materiaDeFila(int fila)
{
    return fila >= 1 && fila <= kFilasReporte ? nombreMateria(asignaturaDeFila(fila)) : QString();
}

} // namespace

Custodia::Custodia(RegistroEstaciones registro)
    : m_registro(std::move(registro))
{
    iniciarFirmas();
}

Custodia::Estacion &Custodia::estacion(const QString &nombre)
{
    Estacion &e = m_estaciones[nombre];
    if (e.fila.estacion.isEmpty()) {
        e.fila.estacion = nombre;
        e.fila.diario = m_registro.conoce(nombre) ? QStringLiteral("sin diario")
                                                  : QStringLiteral("estación desconocida");
    }
    return e;
}

void Custodia::problema(Estacion &e, const QString &que, const QString &libro, int fila)
{
    m_problemas.push_back({ e.fila.estacion, que, libro, materiaDeFila(fila) });
}

void Custodia::agregarCarpeta(const QString &carpeta)
{
    IdentidadEstacion identidad;
    const Resultado r = leerIdentidad(carpeta, &identidad);
    const QString nativa = QDir::toNativeSeparators(carpeta);
    if (r.causa == CausaFallo::ArchivoInexistente) {
        // A station prepared without a key: its rows are "sin sello", and that is all.
        Estacion &e = estacion(nativa);
        e.fila.diario = QStringLiteral("sin llave");
        m_carpetas.insert(QDir::cleanPath(carpeta), nativa);
        return;
    }
    if (!r.ok()) {
        Estacion &e = estacion(nativa);
        e.fila.diario = QStringLiteral("sin llave");
        e.conLlave = true;
        m_carpetas.insert(QDir::cleanPath(carpeta), nativa);
        problema(e, QStringLiteral("la estación no se puede identificar: %1").arg(r.texto()));
        return;
    }
    Estacion &e = estacion(identidad.nombre);
    e.conLlave = true;
    m_carpetas.insert(QDir::cleanPath(carpeta), identidad.nombre);
    LecturaDiario diario;
    if (const Resultado l = leerDiario(carpeta, &diario); !l.ok()) {
        problema(e, QStringLiteral("diario alterado: %1").arg(l.texto()));
        return;
    }
    if (!m_registro.conoce(identidad.nombre)) {
        problema(e, QStringLiteral("estación desconocida: el registro no la tiene"));
        return;
    }
    if (diario.sellos.empty()) {
        // A station that saved nothing has nothing to answer for; its rows, if any, will tell.
        return;
    }
    for (Sello &s : diario.sellos) {
        if (s.estacion != identidad.nombre) {
            problema(e, QStringLiteral("diario alterado: es de la estación %1").arg(s.estacion));
            e.fila.diario = QStringLiteral("alterado");
            return;
        }
        // A journal comes in order: each save goes after the last.
        if (e.porSecuencia.empty() || s.secuencia > e.porSecuencia.rbegin()->first) {
            e.porSecuencia.emplace_hint(e.porSecuencia.end(), s.secuencia, std::move(s));
            continue;
        }
        const auto [it, nuevo] = e.porSecuencia.try_emplace(s.secuencia, std::move(s));
        if (!nuevo && it->second.huella() != s.huella()) {
            problema(e,
                QStringLiteral("diario alterado: dos guardados distintos con el número %1")
                    .arg(s.secuencia));
            e.fila.diario = QStringLiteral("alterado");
            return;
        }
    }
    revisarDiario(e);
}

// The chain of the station's journal, from its first save to its last: every save one more
// than the one before and naming its hash, the first with none, the last signed by the
// station. That one signature covers the whole chain.
void Custodia::revisarDiario(Estacion &e)
{
    const Sello *anterior = nullptr;
    QString falla;
    for (const auto &[n, s] : e.porSecuencia) {
        if (!anterior && (n != 1 || s.previo != "-"))
            falla = QStringLiteral("falta el comienzo (empieza en el guardado %1)").arg(n);
        else if (anterior && n != anterior->secuencia + 1)
            falla = QStringLiteral("faltan los guardados %1 a %2")
                        .arg(anterior->secuencia + 1)
                        .arg(n - 1);
        else if (anterior && s.previo != anterior->huella())
            falla = QStringLiteral("el guardado %1 no sigue al %2").arg(n).arg(anterior->secuencia);
        if (!falla.isEmpty())
            break;
        anterior = &s;
    }
    const Sello &ultimo = e.porSecuencia.rbegin()->second;
    if (falla.isEmpty() && !m_registro.firmaValida(e.fila.estacion, ultimo.mensaje(), ultimo.firma))
        falla
            = QStringLiteral("la firma del guardado %1 no es de la estación").arg(ultimo.secuencia);
    if (!falla.isEmpty()) {
        e.fila.diario = QStringLiteral("alterado");
        problema(e, QStringLiteral("diario alterado: %1").arg(falla));
        return;
    }
    e.integro = true;
    e.fila.diario = QStringLiteral("íntegro");
    for (const auto &[n, s] : e.porSecuencia) {
        m_conocidos.insert(s.huella(), &s);
        e.ultimo[{ s.archivo, s.fila }] = n;
    }
    e.fila.guardados = int(e.ultimo.size());
}

void Custodia::cerrarDiarios()
{
    // What a row's verdict needs of each save is kept; the chains are proven, and a province's
    // journals hold hundreds of thousands of saves.
    for (auto &[nombre, e] : m_estaciones) {
        if (!e.integro)
            continue;
        const qint64 ultimo = e.porSecuencia.rbegin()->first;
        for (auto &[n, s] : e.porSecuencia) {
            s.estacion = e.fila.estacion;
            if (n != ultimo) {
                s.fecha.clear();
                s.previo.clear();
                s.firma.clear();
            }
        }
    }
}

Custodia::Juicio Custodia::juzgar(
    const QString &textoSello, const QString &archivo, int fila, const QList<Celda> &celdas) const
{
    Juicio j;
    if (textoSello.isEmpty())
        return j;
    const QByteArray linea = textoSello.toUtf8();
    const auto conocido = m_conocidos.find(resumen(linea));
    j.sello = conocido != m_conocidos.end() ? std::optional<Sello>(**conocido)
                                            : Sello::deLinea(QByteArrayView(linea));
    if (!j.sello) {
        j.estado = EstadoSello::Invalido;
        return j;
    }
    const Sello &s = *j.sello;
    if (!m_registro.conoce(s.estacion)) {
        j.estado = EstadoSello::Desconocida;
        return j;
    }
    const auto e = m_estaciones.find(s.estacion);
    const bool enDiario = conocido != m_conocidos.end();
    if (s.archivo != archivo || s.fila != fila
        || (!enDiario && !m_registro.firmaValida(s.estacion, s.mensaje(), s.firma))) {
        j.estado = EstadoSello::Invalido;
        return j;
    }
    if (s.huellaFila != huellaDeFila(celdas)) {
        j.estado = EstadoSello::Alterado;
        return j;
    }
    if (e != m_estaciones.end() && e->second.integro) {
        const auto ultimo = e->second.ultimo.find({ archivo, fila });
        if (ultimo != e->second.ultimo.end() && *ultimo > s.secuencia) {
            j.estado = EstadoSello::Reemplazado;
            return j;
        }
    }
    j.estado = EstadoSello::Verificado;
    return j;
}

void Custodia::contar(
    const QString &carpeta, const QString &archivo, int fila, const Juicio &juicio)
{
    const bool firmado = juicio.sello
        && (juicio.estado == EstadoSello::Verificado || juicio.estado == EstadoSello::Alterado
            || juicio.estado == EstadoSello::Reemplazado);
    if (!firmado && carpeta != m_ultimaCarpeta) {
        m_ultimaCarpeta = carpeta;
        m_ultimaEstacion
            = m_carpetas.value(QDir::cleanPath(carpeta), QDir::toNativeSeparators(carpeta));
    }
    Estacion &e = estacion(firmado ? juicio.sello->estacion : m_ultimaEstacion);
    ++e.fila.recopilados;
    switch (juicio.estado) {
    case EstadoSello::Verificado:
        ++e.fila.verificados;
        break;
    case EstadoSello::SinSello:
        if (!e.conLlave)
            return;
        // A row the journal saved that lost its seal on the way (a program that drops the
        // workbook's properties) arrived, but changed; any other is left over.
        if (e.integro && e.ultimo.contains({ archivo, fila })) {
            e.recibidos.insert({ archivo, fila });
            ++e.fila.alterados;
            problema(e,
                QStringLiteral("sin sello: el diario tiene el guardado %1 de este libro")
                    .arg(e.ultimo.value({ archivo, fila })),
                archivo, fila);
            return;
        }
        ++e.fila.sobrantes;
        problema(e, QStringLiteral("sobrante: sin sello, ningún diario lo conoce"), archivo, fila);
        return;
    default:
        ++e.fila.alterados;
        problema(e, textoEstadoSello(juicio.estado), archivo, fila);
        break;
    }
    if (!firmado || !e.integro)
        return;
    const Sello &s = *juicio.sello;
    e.recibidos.insert({ archivo, fila });
    if (m_conocidos.contains(s.huella()))
        return;
    const qint64 ultimo = e.porSecuencia.rbegin()->first;
    if (s.secuencia > ultimo) {
        problema(e,
            QStringLiteral("diario alterado: termina en el guardado %1 y este libro tiene el %2")
                .arg(ultimo)
                .arg(s.secuencia),
            archivo, fila);
        e.fila.diario = QStringLiteral("alterado");
    } else if (e.porSecuencia.count(s.secuencia)) {
        problema(e,
            QStringLiteral("diario alterado: el guardado %1 del diario es otro").arg(s.secuencia),
            archivo, fila);
        e.fila.diario = QStringLiteral("alterado");
    } else {
        ++e.fila.sobrantes;
        problema(e, QStringLiteral("sobrante: ningún diario lo conoce"), archivo, fila);
    }
}

void Custodia::terminar()
{
    for (auto &[nombre, e] : m_estaciones) {
        if (!e.integro)
            continue;
        // In the order of the files and rows, whatever order the table keeps them in.
        std::vector<std::pair<std::pair<QString, int>, qint64>> faltan;
        for (auto it = e.ultimo.cbegin(); it != e.ultimo.cend(); ++it) {
            if (!e.recibidos.contains(it.key()))
                faltan.push_back({ it.key(), it.value() });
        }
        std::sort(faltan.begin(), faltan.end());
        for (const auto &[donde, n] : faltan) {
            ++e.fila.faltantes;
            problema(e, QStringLiteral("faltante: el guardado %1 no llegó").arg(n), donde.first,
                donde.second);
        }
    }
}

std::vector<Custodia::FilaEstacion> Custodia::estaciones() const
{
    std::vector<FilaEstacion> filas;
    for (const auto &[nombre, e] : m_estaciones)
        filas.push_back(e.fila);
    return filas;
}
