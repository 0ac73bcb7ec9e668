/* A device library with one operation of the eleven the program binds. */
int VelorantisAPIInitialize(void) { return 0; }
