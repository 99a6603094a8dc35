#pragma once

#include "Diario.h"
#include "Llaves.h"
#include "Sello.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <map>
#include <optional>
#include <vector>

// What the seal of one gathered row says of it.
enum class EstadoSello {
    Verificado, // signed by a registered station, for this workbook and row, and unchanged
    Alterado, // the row differs from what its seal signs
    Invalido, // the signature fails, or the seal names another workbook or row
    SinSello,
    Desconocida, // signed by a station the register does not have
    Reemplazado, // an older copy: the station's journal has a later save of this row
};
// "verificado", "alterado", …: the words of the sheet's column "Sello".
QString textoEstadoSello(EstadoSello estado);

// The custody of the results from the stations to the collection: the journals of the stations'
// folders checked against the staff's register, each row's seal judged against them, and each
// journal reconciled with the rows that arrived. Folders first, then rows, then terminar().
class Custodia {
public:
    explicit Custodia(RegistroEstaciones registro);

    // The identity and journal of a station's folder; before any row.
    void agregarCarpeta(const QString &carpeta);

    // Once every folder is in: checks each station's chain, its folders' journals as one, keeps
    // of it what the rows' verdicts need (the hash of each line, each row's last save) and
    // frees the rest.
    void cerrarDiarios();

    struct Juicio {
        EstadoSello estado = EstadoSello::SinSello;
        // When the seal reads as one: the station it names, as the register spells it, and
        // its save's number.
        QString estacion;
        qint64 secuencia = 0;
        bool enDiario = false; // the seal is a line of an intact journal
        int guardado = -1; // the row's last save in that station's journal, when it has one
    };
    // The verdict on one row from the text of its seal (null when it has none). Only reads
    // what the folders left: rows may be judged on several threads at once.
    Juicio juzgar(const QString &textoSello, const QString &archivo, int fila,
        const QList<Celda> &celdas) const;

    // A row that went into the results, once per student and subject, from `carpeta`.
    void contar(const QString &carpeta, const QString &archivo, int fila, const Juicio &juicio);
    // After the last row: what every journal has that did not arrive.
    void terminar();

    struct FilaEstacion {
        QString estacion;
        QString diario; // "íntegro", "alterado", "sin diario", "estación desconocida", "sin llave"
        int guardados = 0, recopilados = 0, verificados = 0, alterados = 0, faltantes = 0,
            sobrantes = 0;
    };
    struct Problema {
        QString estacion;
        QString problema;
        QString libro;
        QString materia;
    };
    std::vector<FilaEstacion> estaciones() const;
    const std::vector<Problema> &problemas() const { return m_problemas; }
    // Every row verified and nothing missing, left over or altered.
    bool enOrden() const { return m_problemas.empty(); }

private:
    // A row's last save in its station's journal, and whether the row arrived.
    struct Guardado {
        qint64 secuencia = 0;
        bool recibido = false;
    };
    struct Estacion {
        FilaEstacion fila;
        bool conLlave = false; // a keyed station: rows without a seal are out of place
        bool integro = false; // its journal's chain holds and its last seal is the station's
        bool roto = false; // a journal of its folders cannot be read, or is another station's
        std::vector<LecturaDiario> diarios; // its folders' journals, until cerrarDiarios()
        qint64 ultimaSecuencia = 0; // the journal's last save
        // Each row's last save, by "archivo<tab>fila" as the seals write it; the keys are
        // views into `claves`, which holds them all and never grows once they are in.
        std::vector<Guardado> guardados;
        QByteArray claves;
        QHash<QByteArrayView, int> porFila;
        int buscar(QByteArrayView archivoYFila) const { return porFila.value(archivoYFila, -1); }
    };
    void indexar(Estacion &e, const std::vector<const LineaDiario *> &orden);
    void contarSinSello(Estacion &e, const QString &archivo, int fila);
    Estacion &estacion(const QString &nombre);
    void revisarDiario(Estacion &e, std::vector<const LineaDiario *> &orden);
    void problema(Estacion &e, const QString &que, const QString &libro = {}, int fila = 0);

    RegistroEstaciones m_registro;
    std::map<QString, Estacion> m_estaciones;
    QHash<QString, QString> m_carpetas; // folder → the station it names
    // Every seal of an intact journal, by the hash of its line: a row's seal found here is the
    // station's own, with no signature to check, and says which row's save it is. An open
    // table of a power of two places, found in one or two looks by the hash's first bytes,
    // which are as good as random; a place with no station is free.
    struct Conocido {
        Huella huella {};
        const Estacion *estacion = nullptr;
        int guardado = -1;
    };
    std::vector<Conocido> m_conocidos;
    const Conocido *conocido(const Huella &huella) const;
    void ponerConocidos(std::vector<Conocido> lineas);
    std::vector<Conocido> m_porConocer; // gathered by indexar(), placed by cerrarDiarios()
    // Every registered station's name in UTF-8, as a seal writes it, and as the register does.
    std::vector<std::pair<QByteArray, QString>> m_nombres;
    // The folder of the last row counted, and its station: rows come folder after folder.
    QString m_ultimaCarpeta;
    QString m_ultimaEstacion;
    std::vector<Problema> m_problemas;
};
