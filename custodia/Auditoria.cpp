#include "Auditoria.h"

#include "ColumnasReporte.h"
#include "Contenido.h"
#include "Diario.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <tuple>

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
    for (const QString &nombre : m_registro.estaciones())
        m_nombres.emplace_back(nombre.toUtf8(), nombre);
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
    const QByteArray nombre = identidad.nombre.toUtf8();
    for (const LineaDiario &l : diario.lineas) {
        if (l.campos.estacion != nombre) {
            problema(e,
                QStringLiteral("diario alterado: es de la estación %1")
                    .arg(QString::fromUtf8(l.campos.estacion)));
            e.fila.diario = QStringLiteral("alterado");
            e.roto = true;
            return;
        }
    }
    // A station that saved nothing has nothing to answer for; its rows, if any, will tell.
    if (!diario.lineas.empty())
        e.diarios.push_back(std::move(diario));
}

namespace {

bool esHexDe(QByteArrayView hex, const Huella &huella)
{
    char texto[2 * sizeof(Huella) + 1];
    sodium_bin2hex(texto, sizeof texto, huella.data(), huella.size());
    return hex == QByteArrayView(texto, 2 * qsizetype(sizeof(Huella)));
}

} // namespace

// The chain of the station's journal, from its first save to its last: every save one more
// than the one before and naming its hash, the first with none, the last signed by the
// station. That one signature covers the whole chain.
void Custodia::revisarDiario(Estacion &e, std::vector<const LineaDiario *> &orden)
{
    const LineaDiario *anterior = nullptr;
    QString falla;
    for (const LineaDiario *l : orden) {
        const qint64 n = l->campos.secuencia;
        if (!anterior && (n != 1 || l->campos.previo != "-"))
            falla = QStringLiteral("falta el comienzo (empieza en el guardado %1)").arg(n);
        else if (anterior && n != anterior->campos.secuencia + 1)
            falla = QStringLiteral("faltan los guardados %1 a %2")
                        .arg(anterior->campos.secuencia + 1)
                        .arg(n - 1);
        else if (anterior && !esHexDe(l->campos.previo, anterior->huella))
            falla = QStringLiteral("el guardado %1 no sigue al %2")
                        .arg(n)
                        .arg(anterior->campos.secuencia);
        if (!falla.isEmpty())
            break;
        anterior = l;
    }
    const CamposSello &ultimo = orden.back()->campos;
    if (falla.isEmpty()
        && !m_registro.firmaValida(
            e.fila.estacion, ultimo.mensaje.toByteArray(), ultimo.firma.toByteArray()))
        falla
            = QStringLiteral("la firma del guardado %1 no es de la estación").arg(ultimo.secuencia);
    if (!falla.isEmpty()) {
        e.fila.diario = QStringLiteral("alterado");
        problema(e, QStringLiteral("diario alterado: %1").arg(falla));
        return;
    }
    e.integro = true;
    e.fila.diario = QStringLiteral("íntegro");
    e.ultimaSecuencia = ultimo.secuencia;
    indexar(e, orden);
}

// What a row's verdict needs of each save: the hash of its line, and each row's last save.
void Custodia::indexar(Estacion &e, const std::vector<const LineaDiario *> &orden)
{
    qsizetype bytes = 0;
    for (const LineaDiario *l : orden)
        bytes += l->campos.archivoYFila.size();
    e.claves.reserve(bytes);
    e.guardados.reserve(orden.size());
    e.porFila.reserve(qsizetype(orden.size()));
    m_porConocer.reserve(m_porConocer.size() + orden.size());
    for (const LineaDiario *l : orden) {
        const QByteArrayView donde = l->campos.archivoYFila;
        int g = e.buscar(donde);
        if (g >= 0) {
            e.guardados[size_t(g)].secuencia = l->campos.secuencia;
        } else {
            // Within what was reserved: the keys already in stay where they are.
            const QByteArrayView clave(e.claves.constData() + e.claves.size(), donde.size());
            e.claves.append(donde);
            g = int(e.guardados.size());
            e.porFila.insert(clave, g);
            e.guardados.push_back({ l->campos.secuencia, false });
        }
        m_porConocer.push_back({ l->huella, &e, g });
    }
    e.fila.guardados = int(e.guardados.size());
}

void Custodia::cerrarDiarios()
{
    for (auto &[nombre, e] : m_estaciones) {
        if (e.diarios.empty() || e.roto) {
            e.diarios.clear();
            continue;
        }
        // Every journal of the station's folders as one, in the order of its numbers: the same
        // save in two copies counts once, two different saves with one number are a fork.
        std::vector<const LineaDiario *> orden;
        for (const LecturaDiario &d : e.diarios) {
            for (const LineaDiario &l : d.lineas)
                orden.push_back(&l);
        }
        std::stable_sort(orden.begin(), orden.end(),
            [](const auto *a, const auto *b) { return a->campos.secuencia < b->campos.secuencia; });
        std::vector<const LineaDiario *> unicos;
        unicos.reserve(orden.size());
        for (const LineaDiario *l : orden) {
            if (unicos.empty() || unicos.back()->campos.secuencia != l->campos.secuencia) {
                unicos.push_back(l);
            } else if (unicos.back()->huella != l->huella) {
                problema(e,
                    QStringLiteral("diario alterado: dos guardados distintos con el número %1")
                        .arg(l->campos.secuencia));
                e.fila.diario = QStringLiteral("alterado");
                unicos.clear();
                break;
            }
        }
        if (!unicos.empty())
            revisarDiario(e, unicos);
        e.diarios.clear();
    }
    ponerConocidos(std::move(m_porConocer));
    m_porConocer = {};
}

namespace {

size_t lugarDe(const Huella &huella, size_t mascara)
{
    quint64 primeros;
    std::memcpy(&primeros, huella.data(), sizeof primeros);
    return size_t(primeros) & mascara;
}

} // namespace

void Custodia::ponerConocidos(std::vector<Conocido> lineas)
{
    size_t lugares = 16;
    while (lugares < lineas.size() + lineas.size() / 3)
        lugares *= 2;
    m_conocidos.assign(lugares, {});
    for (const Conocido &c : lineas) {
        size_t i = lugarDe(c.huella, lugares - 1);
        // The same line from two copies of a journal is one.
        while (m_conocidos[i].estacion && m_conocidos[i].huella != c.huella)
            i = (i + 1) & (lugares - 1);
        m_conocidos[i] = c;
    }
}

const Custodia::Conocido *Custodia::conocido(const Huella &huella) const
{
    if (m_conocidos.empty())
        return nullptr;
    const size_t mascara = m_conocidos.size() - 1;
    for (size_t i = lugarDe(huella, mascara); m_conocidos[i].estacion; i = (i + 1) & mascara) {
        if (m_conocidos[i].huella == huella)
            return &m_conocidos[i];
    }
    return nullptr;
}

Custodia::Juicio Custodia::juzgar(
    const QString &textoSello, const QString &archivo, int fila, const QList<Celda> &celdas) const
{
    Juicio j;
    if (textoSello.isEmpty())
        return j;
    const QByteArray linea = textoSello.toUtf8();
    const std::optional<CamposSello> c = camposDeSello(linea);
    j.estado = EstadoSello::Invalido;
    if (!c)
        return j;
    const auto nombre = std::find_if(
        m_nombres.begin(), m_nombres.end(), [&c](const auto &n) { return n.first == c->estacion; });
    if (nombre == m_nombres.end()) {
        j.estado = EstadoSello::Desconocida;
        return j;
    }
    j.estacion = nombre->second;
    j.secuencia = c->secuencia;
    const Conocido *k = conocido(huellaBinaria(linea));
    j.enDiario = k != nullptr;
    if (c->fila != fila
        || !QAnyStringView::equal(QUtf8StringView(c->archivo.data(), c->archivo.size()), archivo)
        || (!j.enDiario
            && !m_registro.firmaValida(
                j.estacion, c->mensaje.toByteArray(), c->firma.toByteArray())))
        return j;
    // The journal's last save of this row: the one its line is of, or else found by the row.
    const Estacion *e = k ? k->estacion : nullptr;
    if (!e) {
        const auto it = m_estaciones.find(j.estacion);
        e = it != m_estaciones.end() && it->second.integro ? &it->second : nullptr;
    }
    j.guardado = k ? k->guardado : e ? e->buscar(c->archivoYFila) : -1;
    if (c->huellaFila != huellaDeFila(celdas)) {
        j.estado = EstadoSello::Alterado;
        return j;
    }
    if (j.guardado >= 0 && e->guardados[size_t(j.guardado)].secuencia > c->secuencia) {
        j.estado = EstadoSello::Reemplazado;
        return j;
    }
    j.estado = EstadoSello::Verificado;
    return j;
}

void Custodia::contar(
    const QString &carpeta, const QString &archivo, int fila, const Juicio &juicio)
{
    const bool firmado = !juicio.estacion.isEmpty()
        && (juicio.estado == EstadoSello::Verificado || juicio.estado == EstadoSello::Alterado
            || juicio.estado == EstadoSello::Reemplazado);
    if (!firmado && carpeta != m_ultimaCarpeta) {
        m_ultimaCarpeta = carpeta;
        m_ultimaEstacion
            = m_carpetas.value(QDir::cleanPath(carpeta), QDir::toNativeSeparators(carpeta));
    }
    Estacion &e = estacion(firmado ? juicio.estacion : m_ultimaEstacion);
    ++e.fila.recopilados;
    switch (juicio.estado) {
    case EstadoSello::Verificado:
        ++e.fila.verificados;
        break;
    case EstadoSello::SinSello:
        contarSinSello(e, archivo, fila);
        return;
    default:
        ++e.fila.alterados;
        problema(e, textoEstadoSello(juicio.estado), archivo, fila);
        break;
    }
    if (!firmado || !e.integro)
        return;
    if (juicio.guardado >= 0)
        e.guardados[size_t(juicio.guardado)].recibido = true;
    if (juicio.enDiario)
        return;
    // Signed by the station, yet not in its intact journal, which has every number from 1 up.
    if (juicio.secuencia > e.ultimaSecuencia) {
        problema(e,
            QStringLiteral("diario alterado: termina en el guardado %1 y este libro tiene el %2")
                .arg(e.ultimaSecuencia)
                .arg(juicio.secuencia),
            archivo, fila);
    } else {
        problema(e,
            QStringLiteral("diario alterado: el guardado %1 del diario es otro")
                .arg(juicio.secuencia),
            archivo, fila);
    }
    e.fila.diario = QStringLiteral("alterado");
}

void Custodia::contarSinSello(Estacion &e, const QString &archivo, int fila)
{
    if (!e.conLlave)
        return;
    // A row the journal saved that lost its seal on the way (a program that drops the
    // workbook's properties) arrived, but changed; any other is left over.
    const int g = e.integro ? e.buscar(archivo.toUtf8() + '\t' + QByteArray::number(fila)) : -1;
    if (g >= 0) {
        e.guardados[size_t(g)].recibido = true;
        ++e.fila.alterados;
        problema(e,
            QStringLiteral("sin sello: el diario tiene el guardado %1 de este libro")
                .arg(e.guardados[size_t(g)].secuencia),
            archivo, fila);
        return;
    }
    ++e.fila.sobrantes;
    problema(e, QStringLiteral("sobrante: sin sello, ningún diario lo conoce"), archivo, fila);
}

void Custodia::terminar()
{
    for (auto &[nombre, e] : m_estaciones) {
        if (!e.integro)
            continue;
        // In the order of the files and rows, whatever order the table keeps them in.
        std::vector<std::tuple<QString, int, qint64>> faltan;
        for (auto it = e.porFila.cbegin(); it != e.porFila.cend(); ++it) {
            const Guardado &g = e.guardados[size_t(it.value())];
            if (g.recibido)
                continue;
            const QByteArrayView clave = it.key();
            const qsizetype tab = clave.lastIndexOf('\t');
            faltan.emplace_back(
                QString::fromUtf8(clave.first(tab)), clave.sliced(tab + 1).toInt(), g.secuencia);
        }
        std::sort(faltan.begin(), faltan.end());
        for (const auto &[libro, fila, n] : faltan) {
            ++e.fila.faltantes;
            problema(e, QStringLiteral("faltante: el guardado %1 no llegó").arg(n), libro, fila);
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
