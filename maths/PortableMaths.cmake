# The maths routines every sound is made with (sin, cos, tan, exp, log, log10,
# pow, hypot), compiled from musl 1.2.3's sources (MIT) into every build, native
# and WebAssembly, so that their results do not depend on the C library or the
# processor. Included by the native tree and by web/.
set(BLEEPFORGE_DEPS_DIR ${CMAKE_BINARY_DIR}/deps CACHE PATH
    "where the outside sources the build compiles are fetched to")
set(portable_maths_dir ${CMAKE_CURRENT_LIST_DIR})

# The sources, fetched once into the build tree.
function(fetch_musl out)
    execute_process(
        COMMAND ${portable_maths_dir}/../scripts/fetch-musl ${BLEEPFORGE_DEPS_DIR}
        OUTPUT_VARIABLE folder OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "could not fetch musl's sources (scripts/fetch-musl)")
    endif()
    set(${out} ${folder} PARENT_SCOPE)
endfunction()

# add_portable_maths(TARGET MUSL ARCH_INCLUDES...): the library, built as musl
# builds itself: its own headers only, with the folders of ARCH_INCLUDES for
# the target's types, and no builtins, so that each routine is musl's code.
function(add_portable_maths target musl)
    set(names
        sin cos tan exp log log10 pow hypot
        __sin __cos __tan __rem_pio2 __rem_pio2_large exp_data log_data pow_data
        __math_oflow __math_uflow __math_xflow __math_divzero __math_invalid
        scalbn floor fabs sqrt sqrt_data)
    list(TRANSFORM names PREPEND ${musl}/src/math/)
    list(TRANSFORM names APPEND .c)
    add_library(${target} STATIC ${names})
    target_compile_options(${target} PRIVATE
        -std=c99 -nostdinc -ffreestanding -fno-strict-aliasing -ffp-contract=off -fno-fast-math
        -fvisibility=hidden -fno-sanitize=all -w -include ${portable_maths_dir}/Rename.h)
    # musl's own choice where the compiler has them; neither changes a result
    # in the default rounding.
    include(CheckCCompilerFlag)
    foreach(flag -frounding-math -fexcess-precision=standard)
        string(MAKE_C_IDENTIFIER "maths_has${flag}" has)
        check_c_compiler_flag(${flag} ${has})
        if(${has})
            target_compile_options(${target} PRIVATE ${flag})
        endif()
    endforeach()
    target_compile_definitions(${target} PRIVATE _XOPEN_SOURCE=700)
    target_include_directories(${target} PRIVATE ${ARGN} ${musl}/arch/generic ${musl}/src/include
        ${musl}/src/internal ${musl}/include)
    target_include_directories(${target} INTERFACE ${portable_maths_dir})
endfunction()
