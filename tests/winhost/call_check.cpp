// uint32_t __cdecl CallWithStackCheck(const void* function, const uint32_t* args,
//                                     uint32_t count, int32_t* espChange,
//                                     uint32_t misalign);
//
// Pushes count arguments (args[0] last, so it lands on top), calls the
// function, and stores how far ESP moved across the call: 0 for a stdcall
// function with exactly count arguments. Before the pushes the stack is set to
// 16-byte alignment minus `misalign` bytes, as a host with looser alignment
// would leave it. Returns EAX. EBX, ESI, EDI and EBP are restored whatever the
// callee did to ESP.

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
