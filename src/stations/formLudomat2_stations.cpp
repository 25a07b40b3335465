// The station logic of the main window: modes, prepaid time, opening and closing, the tick.
#include "stations/formLudomat2.h"

void formLudomat2::cmdPuesto_Click(int) {}
void formLudomat2::Timer1_Timer() {}
void formLudomat2::optModo_Click(int) {}
bool formLudomat2::optModo_KeyDown(int, int, Qt::KeyboardModifiers) {
    return false;
}
void formLudomat2::vsTiempo_Change(int) {}
bool formLudomat2::vsTiempo_KeyDown(int, int, Qt::KeyboardModifiers) {
    return false;
}
void formLudomat2::txtMinuto_Change(int) {}
void formLudomat2::txtSegundo_Change(int) {}
