#pragma once

// The screens of a run; every form tells the screen loop which one comes after it.
enum class Pantalla { Registro, Menu, ExamenMatematica, ExamenLengua, Fin };
