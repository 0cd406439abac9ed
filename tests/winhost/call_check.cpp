// CallWithStackCheck (declared in winhost.cpp, cdecl): pushes count arguments (args[0] on top)
// onto a stack aligned to 16 bytes minus misalign, as a host with looser alignment leaves it,
// calls the function, and stores how far ESP moved across the call (0 for a stdcall function
// of exactly count arguments). Returns EAX; EBX, ESI, EDI, EBP survive whatever ESP does.
// clang-format off
asm(R"(
        .text
        .globl  _CallWithStackCheck
_CallWithStackCheck:
        pushl   %ebp
        movl    %esp, %ebp
        pushl   %ebx
        pushl   %esi
        pushl   %edi
        subl    $4, %esp                # -16(%ebp): ESP before the pushes
        movl    24(%ebp), %eax          # misalign
        andl    $-16, %esp
        subl    %eax, %esp
        movl    %esp, -16(%ebp)
        movl    12(%ebp), %esi          # args
        movl    16(%ebp), %ecx          # count
1:      testl   %ecx, %ecx
        jz      2f
        decl    %ecx
        pushl   (%esi,%ecx,4)
        jmp     1b
2:      call    *8(%ebp)
        movl    %esp, %ecx
        subl    -16(%ebp), %ecx         # ESP after minus ESP before
        movl    20(%ebp), %edx
        movl    %ecx, (%edx)
        leal    -12(%ebp), %esp
        popl    %edi
        popl    %esi
        popl    %ebx
        popl    %ebp
        ret
)");
