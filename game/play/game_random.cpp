#include "game_random.h"

GameRandom& GameRng()
{
    static GameRandom generator;
    return generator;
}
