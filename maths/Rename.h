/* Forced into every musl source the maths library compiles: our own names for
   its routines and their helpers, so that the program calls these and never
   the C library's (or the WebAssembly toolchain's) sin, pow, ..., and no link
   holds two definitions of one name. PortableMath.h declares the public ones. */
#define sin bf_sin
#define cos bf_cos
#define tan bf_tan
#define exp bf_exp
#define log bf_log
#define log10 bf_log10
#define pow bf_pow
#define hypot bf_hypot
#define sqrt bf_sqrt
#define floor bf_floor
#define fabs bf_fabs
#define scalbn bf_scalbn
#define __sin bf__sin
#define __cos bf__cos
#define __tan bf__tan
#define __rem_pio2 bf__rem_pio2
#define __rem_pio2_large bf__rem_pio2_large
#define __exp_data bf__exp_data
#define __log_data bf__log_data
#define __pow_log_data bf__pow_log_data
#define __rsqrt_tab bf__rsqrt_tab
#define __math_oflow bf__math_oflow
#define __math_uflow bf__math_uflow
#define __math_xflow bf__math_xflow
#define __math_divzero bf__math_divzero
#define __math_invalid bf__math_invalid
