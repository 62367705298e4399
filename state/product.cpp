// The product's constants and the run's state: the installer's only globals.
#include "state/context.h"

SetupContext ctx;

ProductConstants product = {
    0x00FF0000,  // gradientTop: blue
    0x00000000,  // gradientBottom: black
    0x0000FFFF,  // titleColour: yellow
    3,           // diskCount
    "Wardhaven!",
    "Wardhaven!",
    "Wardhavn.Exe",
    "Wardhavn.001",
    "Wardhaven._ZX",
    "C:\\Program Files\\Wardhaven",
    "(c) Wardhaven Software Foundation",
    "Wardhaven! Installation",
    "Do you really want to terminate the Setup program?",
    "The Installation process has been terminated.",
    "This is not the appropriate disk.\r\nPlease insert the correct disk and Press Enter",
    "Wardhaven! has been successfully installed.\r\n\r\nDo you wish to run ",
    "Wardhavn.Exe",
    "UnInstal.Exe",
    "TaskMan.Exe",
    "TaskMang.Exe",
    3281000,
};
