#include "Claves.h"

#include "Disco.h"
#include "EscritorXlsx.h"
#include "LectorXlsx.h"

#include <QFileInfo>

#include <cmath>
#include <map>

namespace {

constexpr int kColumnaMateria = 1;
constexpr int kColumnaModelo = 2;
constexpr int kPrimeraLetra = 3; // question q in column 2 + q
constexpr int kUltimaColumna = kPrimeraLetra + kPreguntas - 1;

QString celda(int fila, int columna)
{
    return nombreColumna(columna) + QString::number(fila);
}

QString titulo(int columna)
{
    if (columna == kColumnaMateria)
        return QStringLiteral("Materia");
    if (columna == kColumnaModelo)
        return QStringLiteral("Modelo");
    return QStringLiteral("P%1").arg(columna - kPrimeraLetra + 1);
}

} // namespace

char Claves::letra(Asignatura asignatura, int modelo, int pregunta) const
{
    if (modelo < 1 || modelo > kModelos || pregunta < 1 || pregunta > kPreguntas)
        return 0;
    return m_letras[indiceMateria(asignatura)][modelo - 1][pregunta - 1];
}

void Claves::poner(Asignatura asignatura, int modelo, int pregunta, char letra)
{
    m_letras[indiceMateria(asignatura)][modelo - 1][pregunta - 1] = letra;
}

namespace {

using ColumnasFila = std::map<int, const Celda *>;
// Which row has each subject and model already, for the refusal of a second one.
using FilasVistas = std::map<std::pair<int, int>, int>;

// One row of the key table: subject, model and 22 letters; what is wrong goes to the errors.
void leerFilaDeClaves(
    int fila, const ColumnasFila &columnas, FilasVistas &vistas, LecturaClaves &lectura)
{
    QStringList &errores = lectura.errores;
    auto valor = [&](int col) -> const Celda * {
        const auto it = columnas.find(col);
        return it == columnas.end() ? nullptr : it->second;
    };
    const Celda *materia = valor(kColumnaMateria);
    const QString nombre = materia ? materia->comoTexto().trimmed() : QString();
    int asignatura = -1;
    for (Asignatura a : { Asignatura::Matematica, Asignatura::Lengua }) {
        if (nombre == nombreMateria(a))
            asignatura = indiceMateria(a);
    }
    if (asignatura < 0) {
        errores << QStringLiteral("%1: materia desconocida \"%2\"")
                       .arg(celda(fila, kColumnaMateria), nombre);
        return;
    }
    const Celda *modeloCelda = valor(kColumnaModelo);
    const double numero = modeloCelda
        ? (modeloCelda->tipo == Celda::Tipo::Numero ? modeloCelda->numero
                                                    : modeloCelda->texto.trimmed().toDouble())
        : 0;
    const int modelo = int(numero);
    if (numero != std::trunc(numero) || modelo < 1 || modelo > kModelos) {
        errores << QStringLiteral("%1: modelo \"%2\" fuera de 1 a 6")
                       .arg(celda(fila, kColumnaModelo),
                           modeloCelda ? modeloCelda->comoTexto() : QString());
        return;
    }
    const auto repetida = vistas.find({ asignatura, modelo });
    if (repetida != vistas.end()) {
        errores << QStringLiteral("%1: fila repetida de %2, modelo %3 (ya está en la fila %4)")
                       .arg(celda(fila, kColumnaMateria), nombre)
                       .arg(modelo)
                       .arg(repetida->second);
        return;
    }
    vistas[{ asignatura, modelo }] = fila;
    const Asignatura a = asignatura == 0 ? Asignatura::Matematica : Asignatura::Lengua;
    for (int q = 1; q <= kPreguntas; ++q) {
        const Celda *c = valor(kPrimeraLetra + q - 1);
        const QString letra = c ? c->comoTexto().trimmed().toUpper() : QString();
        if (letra.size() != 1 || letra.at(0) < QLatin1Char('A') || letra.at(0) > QLatin1Char('D')) {
            errores << QStringLiteral("%1: \"%2\" no es una letra de A a D")
                           .arg(celda(fila, kPrimeraLetra + q - 1), c ? c->comoTexto() : QString());
            continue;
        }
        lectura.claves.poner(a, modelo, q, char(letra.at(0).unicode()));
    }
}

} // namespace

LecturaClaves interpretarClaves(const CeldasHoja &celdas)
{
    LecturaClaves lectura;
    QStringList &errores = lectura.errores;
    std::map<int, ColumnasFila> filas;
    for (const auto &[pos, c] : celdas) {
        if (pos.second > kUltimaColumna)
            errores << QStringLiteral("%1: celda fuera de la tabla de claves")
                           .arg(celda(pos.first, pos.second));
        else
            filas[pos.first][pos.second] = &c;
    }
    for (int col = 1; col <= kUltimaColumna; ++col) {
        const auto it = filas[1].find(col);
        if (it == filas[1].end() || it->second->comoTexto().trimmed() != titulo(col))
            errores << QStringLiteral("%1: se esperaba el título \"%2\"")
                           .arg(celda(1, col), titulo(col));
    }
    FilasVistas vistas;
    for (const auto &[fila, columnas] : filas) {
        if (fila != 1)
            leerFilaDeClaves(fila, columnas, vistas, lectura);
    }
    for (Asignatura a : { Asignatura::Matematica, Asignatura::Lengua }) {
        for (int m = 1; m <= kModelos; ++m) {
            if (!vistas.count({ indiceMateria(a), m }))
                errores << QStringLiteral("falta la fila de %1, modelo %2")
                               .arg(nombreMateria(a))
                               .arg(m);
        }
    }
    return lectura;
}

LecturaClaves leerClaves(const QString &ruta)
{
    QByteArray bytes;
    CeldasHoja celdas;
    QString motivo;
    if (const Resultado leido = DiscoLocal().leer(ruta, limitesXlsx::kMaxBytesLibro, &bytes);
        !leido.ok())
        motivo = leido.texto();
    else if (const Resultado fallo = leerHojaDeBytes(bytes, Claves::nombreHoja(), &celdas);
             !fallo.ok())
        motivo = fallo.texto();
    if (!motivo.isEmpty()) {
        LecturaClaves lectura;
        lectura.errores << QStringLiteral("%1: %2").arg(ruta, motivo);
        return lectura;
    }
    return interpretarClaves(celdas);
}

Resultado escribirClaves(const QString &ruta, const Claves &claves)
{
    EscritorLibro escritor(ruta, QFileInfo(ruta).absolutePath());
    const int hoja = escritor.agregarHoja(Claves::nombreHoja());
    for (int col = 1; col <= kUltimaColumna; ++col)
        escritor.escribir(hoja, 1, col, Celda::deTexto(titulo(col)));
    int fila = 1;
    for (Asignatura a : { Asignatura::Matematica, Asignatura::Lengua }) {
        for (int m = 1; m <= kModelos; ++m) {
            ++fila;
            escritor.escribir(hoja, fila, kColumnaMateria, Celda::deTexto(nombreMateria(a)));
            escritor.escribir(hoja, fila, kColumnaModelo, Celda::deNumero(m));
            for (int q = 1; q <= kPreguntas; ++q)
                escritor.escribir(hoja, fila, kPrimeraLetra + q - 1,
                    Celda::deTexto(QString(QLatin1Char(claves.letra(a, m, q)))));
        }
    }
    return escritor.cerrar();
}
