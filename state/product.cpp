// The product's constants and the run's state: the installer's only globals.
// The constants' texts are borrowed literals: the compiler lays the record
// out, and no code builds it at start-up.
#include "state/context.h"

SetupContext ctx;

ProductConstants product = {
    0x00FF0000,  // gradientTop: blue
    0x00000000,  // gradientBottom: black
    0x0000FFFF,  // titleColour: yellow
    3,           // diskCount
    {"Wardhaven!", String::borrowed},
    {"Wardhaven!", String::borrowed},
    {"Wardhavn.Exe", String::borrowed},
    {"Wardhavn.001", String::borrowed},
    {"Wardhaven._ZX", String::borrowed},
    {"C:\\Program Files\\Wardhaven", String::borrowed},
    {"(c) Wardhaven Software Foundation", String::borrowed},
    {"Wardhaven! Installation", String::borrowed},
    {"Do you really want to terminate the Setup program?", String::borrowed},
    {"The Installation process has been terminated.", String::borrowed},
    {"This is not the appropriate disk.\r\nPlease insert the correct disk and Press Enter", String::borrowed},
    {"Wardhaven! has been successfully installed.\r\n\r\nDo you wish to run ", String::borrowed},
    {"Wardhavn.Exe", String::borrowed},
    {"UnInstal.Exe", String::borrowed},
    {"TaskMan.Exe", String::borrowed},
    {"TaskMang.Exe", String::borrowed},
    3281000,
};
